#!/usr/bin/env python3
"""Checks the floors of src/: every include points down (or stays in its folder), every member of a
class is defined on the floor that declares the class, a host's folders (desktop/ and export/, or
web/, in any floor) are included only from that host's folders, and only the fatal path ends the
process. Includes in angle brackets count when they name a header of src/ ("<base/...>", or
"<GL/glew.h>", which the GL route provides).
Prints what it finds wrong and exits 1; with --list, also prints every process-ending call.
Usage: scripts/check-layers.py [--list] [src-dir]"""
import pathlib
import re
import sys

# Bottom to top; folders on one floor don't include each other.
FLOORS = {"base": 0, "image": 1, "platform": 2, "clock": 3, "gpu": 4, "geometry": 4,
          "resources": 5, "demo": 6, "shell": 7}
# The one place the process may end before main returns: the end of the fatal path.
ENDS_ALLOWED = {("base/FatalError.cpp", "endAfterFatalError")}

INCLUDE = re.compile(r'^\s*#\s*include\s*(["<])([^">]+)[">]', re.M)
# The folders each host builds besides the shared ones (cmake/sources.cmake); a file in one host's
# folder may include the shared files and its own host's, a shared file neither host's.
HOSTS = {"desktop": "desktop", "export": "desktop", "web": "web"}
CLASS = re.compile(r'^\s*(?:class|struct)\s+([A-Z]\w*)\b[^;]*$', re.M)
MEMBER = re.compile(r'^(?:[\w:<>,*&\s]+\s+[*&]?)?(?:\w+::)*([A-Z]\w*)::~?\w+\s*\(', re.M)
END = re.compile(r'\b(exit|_exit|_Exit|quick_exit|abort)\s*\(')


def strip_comments(text):
    text = re.sub(r'/\*.*?\*/', '', text, flags=re.S)
    return re.sub(r'//[^\n]*', '', text)


def host_of(path):
    for part in path.split("/")[1:-1]:
        if part in HOSTS:
            return HOSTS[part]
    return None


def resolve(include, quoted, files):
    """The header of src/ an include names, or None for a system or library header."""
    if include in files:
        return include
    if quoted:
        return None
    # Angle brackets also reach headers in include folders below src/ (the browser's GL headers).
    matches = [name for name in files if name.endswith("/" + include)]
    return matches[0] if matches else None


def main():
    args = [a for a in sys.argv[1:] if a != "--list"]
    listing = "--list" in sys.argv[1:]
    src = pathlib.Path(args[0] if args else pathlib.Path(__file__).resolve().parent.parent / "src")
    files = {p.relative_to(src).as_posix(): strip_comments(p.read_text())
             for p in sorted(src.rglob("*")) if p.suffix in (".h", ".cpp")}
    problems = []

    declared = {}
    for name, text in files.items():
        if name.endswith(".h"):
            for cls in CLASS.findall(text):
                declared.setdefault(cls, name)

    for name, text in files.items():
        folder = name.split("/")[0]
        floor = FLOORS.get(folder)
        if floor is None:
            problems.append(f"{name}: folder {folder}/ has no floor")
            continue
        for mark, include in INCLUDE.findall(text):
            header = resolve(include, mark == '"', files)
            if header is None:
                if mark == '"' and include.split("/")[0] in FLOORS:
                    problems.append(f"{name}: includes {include}, which is not in src/")
                continue
            target = header.split("/")[0]
            if target != folder and FLOORS.get(target, floor) >= floor:
                problems.append(f"{name}: includes {include} ({target}/), which is not below {folder}/")
            host, target_host = host_of(name), host_of(header)
            if target_host is not None and target_host != host:
                problems.append(f"{name}: includes {include}, which only the {target_host} build has")
        if name.endswith(".cpp"):
            for cls in set(MEMBER.findall(text)):
                home = declared.get(cls)
                if home and home.split("/")[0] != folder:
                    problems.append(f"{name}: defines a member of {cls}, declared in {home}")
        for line_number, line in enumerate(text.splitlines(), 1):
            for call in END.finditer(line):
                allowed = any(name == f and fn in text for f, fn in ENDS_ALLOWED)
                if listing:
                    print(f"{name}:{line_number}: {line.strip()}")
                if not allowed:
                    problems.append(f"{name}:{line_number}: ends the process: {line.strip()}")

    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
