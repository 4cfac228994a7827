# Sourced by windows-deps.sh, web-deps.sh and linux-deps.sh: builds each library whose stamp is
# missing or holds another key, from the Debian source of the Linux build's version, with that
# script's build_NAME function. Expects libraries from it.
#
#   use_deps_dir "$@"                            the script's one argument, DEPS-DIR: sets deps,
#                                                prefix, jobs and mirror and makes the folders
#   library_keys [SHARED-TEXT]                   sets key[NAME] for every library
#   build_from_debian_sources TITLE FOR-WHOM     e.g. "Windows" "for Windows"

use_deps_dir() { # DEPS-DIR
    [ $# -eq 1 ] || { echo "usage: $0 DEPS-DIR" >&2; exit 2; }
    mkdir -p "$1"
    deps=$(cd "$1" && pwd)
    prefix=$deps/prefix
    jobs=${JOBS:-2}
    mirror=${LUMORAKKA_DEBIAN_MIRROR:-http://deb.debian.org/debian}
    mkdir -p "$prefix" "$deps/stamps" "$deps/logs" "$deps/src" "$deps/build" "$deps/downloads"
}

linux_version() { # -dev package
    dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || {
        echo "$1 is not installed: the libraries built here follow the Linux build's versions." >&2
        echo "Install the Linux build's packages first (scripts/install-deps.sh play)." >&2
        exit 1
    }
}

# A library's key: everything that decides its build (its Linux version, its recipe, what every
# library shares such as the compiler, and the keys of the libraries it links against). Its stamp
# holds the key it was built with.
declare -A key
library_keys() { # [shared-text]
    local entry name dev needs version text need
    for entry in "${libraries[@]}"; do
        read -r name dev needs <<<"$entry"
        version=$(linux_version "$dev")
        text="$version $(declare -f "build_$name")${1:+ $1}"
        for need in $needs; do text+=" ${key[$need]}"; done
        key[$name]=$(sha1sum <<<"$text" | cut -d' ' -f1)
    done
}
build_from_debian_sources() {
    local title=$1 for_whom=$2
    local stale=() apt aptdir codename
    for entry in "${libraries[@]}"; do
        read -r name _ <<<"$entry"
        [ "$(cat "$deps/stamps/$name" 2>/dev/null | head -1)" = "${key[$name]}" ] || stale+=("$name")
    done
    if [ ${#stale[@]} -eq 0 ]; then
        echo "$title libraries: all ${#libraries[@]} up to date in $prefix"
        exit 0
    fi

    # A private apt configuration with only Debian's source index of this release: the machine's
    # own sources, lists and caches are left alone.
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    aptdir=$deps/apt
    mkdir -p "$aptdir/sources" "$aptdir/lists/partial" "$aptdir/cache/archives/partial"
    cat >"$aptdir/sources/debian-src.sources" <<EOF
Types: deb-src
URIs: $mirror
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$aptdir/sources"
         -o Dir::State::Lists="$aptdir/lists" -o Dir::Cache="$aptdir/cache" -o APT::Sandbox::User="$(id -un)")
    echo "Fetching Debian's source index for $codename from $mirror"
    # Without --error-on=any an index that could not be fetched is only a warning, and every
    # library would then seem missing from the archive.
    if ! apt-get "${apt[@]}" -qq --error-on=any update; then
        echo "Could not download Debian's source index from $mirror (see above); nothing was built." >&2
        exit 1
    fi

    upstream() { # Debian version -> upstream version
        local v=${1#*:}
        echo "${v%-*}"
    }

    # The Linux build's exact version when the archive still has it, otherwise the newest Debian
    # revision of the same upstream version (the archive keeps only the latest of each).
    source_version() { # source-package -dev-package
        local wanted best="" v
        wanted=$(linux_version "$2")
        for v in $(apt-cache "${apt[@]}" showsrc "$1" | awk '/^Version:/ {print $2}' | sort -u); do
            if [ "$v" = "$wanted" ]; then
                echo "$v"
                return
            fi
            if [ "$(upstream "$v")" = "$(upstream "$wanted")" ] &&
               { [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; }; then
                best=$v
            fi
        done
        if [ -z "$best" ]; then
            echo "Debian's archive has no source of $1 $(upstream "$wanted") (the Linux build uses $wanted)." >&2
            exit 1
        fi
        echo "$1: the archive no longer has $wanted; using $best, the same upstream version" >&2
        echo "$best"
    }

    download_source() { # source-package version
        cd "$deps/downloads"
        apt-get "${apt[@]}" -qq source --download-only "$1=$2"
    }

    unpack_and_build() { # source-package version
        local dsc
        dsc=$(ls "$deps/downloads/${1}_${2#*:}.dsc")
        rm -rf "$deps/src/$1" "$deps/build/$1"
        # Unpacks and applies Debian's patches; apt has already checked the files against the
        # signed index, so the missing maintainer keys are no concern.
        dpkg-source -x "$dsc" "$deps/src/$1"
        "build_$1" "$deps/src/$1" "$deps/build/$1"
    }

    # One step of a library's build, its output appended to the library's log; a failed step ends
    # the script with the log's tail and what failed.
    logged_step() { # failure-text command...
        local failure=$1 status
        shift
        # set -e holds inside the subshell only when its status is not tested in place.
        set +e
        (
            set -e
            "$@"
        ) >>"$log" 2>&1
        status=$?
        set -e
        if [ $status -ne 0 ]; then
            tail -n 40 "$log" >&2
            echo "$failure; the whole log is $log" >&2
            exit 1
        fi
    }

    for entry in "${libraries[@]}"; do
        read -r name dev _ <<<"$entry"
        [[ " ${stale[*]} " == *" $name "* ]] || continue
        version=$(source_version "$name" "$dev")
        log=$deps/logs/$name.log
        start=$SECONDS
        echo "Building $name $version $for_whom (log: $log)"
        : >"$log"
        logged_step "Downloading the source of $name $version from $mirror failed" download_source "$name" "$version"
        logged_step "Building $name $for_whom failed" unpack_and_build "$name" "$version"
        printf '%s\n%s\n' "${key[$name]}" "$version" >"$deps/stamps/$name"
        echo "  $name done in $((SECONDS - start)) s"
    done
}
