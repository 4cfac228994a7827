#!/usr/bin/env bash
# Serves the browser build on this machine only, with Python's http.server (the program's .wasm
# with its own MIME type, which browsers need to compile it while it downloads), and prints the
# address once the port is bound. Port 0 takes a free port and prints which. Only the files directly
# in the folder are served: no folder listings, nothing under its subfolders, no link that leads out
# of it. Stops with Ctrl-C.
#
# Usage: scripts/serve-web.sh [DIR (default build-web/dist)] [PORT (default 8000)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$here/build-web/dist}
port=${2:-8000}
if [ ! -f "$dir/index.html" ]; then
    echo "No page in $dir: build it first with scripts/build-web.sh" >&2
    exit 1
fi
exec /usr/bin/python3 - "$dir" "$port" <<'PY'
import errno, http.server, os, signal, sys, urllib.parse

directory, port_text = os.path.realpath(sys.argv[1]), sys.argv[2]
if not port_text.isdigit() or int(port_text) > 65535:
    sys.exit("Cannot serve on port %r: a port is a number from 0 to 65535 (0 takes a free one)" % port_text)


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript", ".data": "application/octet-stream"}

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=directory, **kwargs)

    def translate_path(self, path):
        # One name directly in the folder ("/" is the page); anything else names no file here.
        name = urllib.parse.unquote(path.split("?", 1)[0].split("#", 1)[0])
        name = "index.html" if name == "/" else name[1:]
        if not name or "/" in name or "\\" in name or name.startswith("."):
            return ""
        real = os.path.realpath(os.path.join(directory, name))
        if os.path.dirname(real) != directory or not os.path.isfile(real):
            return ""
        return real

    def send_head(self):
        if not self.translate_path(self.path):
            self.send_error(404, "File not found")
            return None
        return super().send_head()

    def list_directory(self, path):
        self.send_error(404, "File not found")
        return None

    def log_message(self, format, *args):
        pass


try:
    server = http.server.ThreadingHTTPServer(("127.0.0.1", int(port_text)), Handler)
except OSError as error:
    reason = "the port is taken" if error.errno == errno.EADDRINUSE else error.strerror
    sys.exit("Cannot serve on port %s: %s" % (port_text, reason))
print("Serving %s at http://127.0.0.1:%d/ (Ctrl-C stops)" % (directory, server.server_address[1]), flush=True)
# Ctrl-C and a plain kill both end the server quietly, even when the shell started it with
# Ctrl-C ignored.
signal.signal(signal.SIGINT, signal.default_int_handler)
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
PY
