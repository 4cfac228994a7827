#!/usr/bin/env python3
"""Runs scripts/check-layers.py over small made-up trees of src/ and checks that it finds each arrow
that should not be there, quoted or in angle brackets, and passes the tree that has none.
Usage: check_layers_cases.py CHECK-LAYERS-SCRIPT"""
import pathlib
import subprocess
import sys
import tempfile

# Files every tree has: the GL route's header, a shared window header and a desktop sound file.
BASE = {
    "platform/glroute/include/GL/glew.h": "",
    "platform/Window.h": "",
    "platform/desktop/Sound.cpp": '#include "platform/Window.h"\n',
    "gpu/Shader.cpp": "#include <GL/glew.h>\n#include <cstdio>\n",
}
CASES = [
    ("a tree with every arrow pointing down", {}, None),
    ("GL from the bottom layer", {"base/Error.cpp": "#include <GL/glew.h>\n"},
     "base/Error.cpp: includes GL/glew.h (platform/), which is not below base/"),
    ("an own header in angle brackets", {"image/Image.cpp": "#include <gpu/Shader.h>\n", "gpu/Shader.h": ""},
     "image/Image.cpp: includes gpu/Shader.h (gpu/), which is not below image/"),
    ("a shared file reaching into a host's folder", {"shell/Shell.cpp": '#include "platform/desktop/Sound.h"\n',
                                                      "platform/desktop/Sound.h": ""},
     "shell/Shell.cpp: includes platform/desktop/Sound.h, which only the desktop build has"),
    ("the browser's file reaching into the export", {"shell/web/Main.cpp": '#include "shell/export/Video.h"\n',
                                                      "shell/export/Video.h": ""},
     "shell/web/Main.cpp: includes shell/export/Video.h, which only the desktop build has"),
]


def main():
    script = sys.argv[1]
    failures = 0
    for name, files, expected in CASES:
        with tempfile.TemporaryDirectory() as root:
            src = pathlib.Path(root) / "src"
            for path, text in {**BASE, **files}.items():
                (src / path).parent.mkdir(parents=True, exist_ok=True)
                (src / path).write_text(text)
            run = subprocess.run([sys.executable, script, str(src)], capture_output=True, text=True)
        said = run.stdout.splitlines()
        ok = run.returncode == 0 and not said if expected is None else run.returncode == 1 and said == [expected]
        print(f"{'ok' if ok else 'FAILED'}: {name}: status {run.returncode}, said {said}")
        failures += not ok
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
