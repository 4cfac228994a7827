#!/usr/bin/env bash
# Serves the browser build on this machine only, with Python's http.server (the program's .wasm
# with its own MIME type, which browsers need to compile it while it downloads), and prints the
# address. Stops with Ctrl-C.
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
echo "Serving $dir at http://127.0.0.1:$port/ (Ctrl-C stops)"
exec /usr/bin/python3 - "$dir" "$port" <<'PY'
import functools, http.server, sys
directory, port = sys.argv[1], int(sys.argv[2])
class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript", ".data": "application/octet-stream"}
    def log_message(self, format, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), functools.partial(Handler, directory=directory))
server.serve_forever()
PY
