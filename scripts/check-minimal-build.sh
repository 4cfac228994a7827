#!/usr/bin/env bash
# Configures and builds the program as a fresh machine with only the packages scripts/play.sh
# installs would: GoogleTest and Google Benchmark treated as missing, so no test or benchmark target
# may be needed. Usage: scripts/check-minimal-build.sh [build-dir] (default build-minimal/)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-minimal}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null
if cmake --build "$build" --target help | grep -Eq '(unit_tests|e2e_tests|MetaballsBench)'; then
    echo "check-minimal-build: test or benchmark targets were made without their libraries" >&2
    exit 1
fi
cmake --build "$build" -j"$(nproc)" --target lumorakka
"$build/lumorakka" --version
echo "check-minimal-build: the program builds without GoogleTest and Google Benchmark"
