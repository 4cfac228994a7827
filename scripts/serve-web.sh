#!/usr/bin/env bash
# Serves the browser build on this machine only, with Python's http.server (the program's .wasm
# with its own MIME type, which browsers need to compile it while it downloads), and prints the
# address once the port is bound. Port 0 takes a free port and prints which. Only the files directly
# in the folder are served: no folder listings, nothing under its subfolders, no link that leads out
# of it. A request it can't read is answered 400, one whose line or headers don't arrive within
# 20 s is dropped, and a download the browser cancels ends quietly. Stops with Ctrl-C.
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
import errno, http.server, os, re, signal, sys, urllib.parse

directory, port_text = os.path.realpath(sys.argv[1]), sys.argv[2]
# ASCII digits only: str.isdigit also takes "²", which int() refuses.
if not re.fullmatch(r"[0-9]+", port_text) or int(port_text) > 65535:
    sys.exit("Cannot serve on port %r: a port is a number from 0 to 65535 (0 takes a free one)" % port_text)


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript", ".data": "application/octet-stream"}

    # A client that opens a connection and sends nothing (or half a request) is let go after this
    # long, so such connections can't pile up.
    timeout = 20

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=directory, **kwargs)

    def translate_path(self, path):
        # One name directly in the folder ("/" is the page); anything else names no file here.
        name = urllib.parse.unquote(path.split("?", 1)[0].split("#", 1)[0])
        name = "index.html" if name == "/" else name[1:]
        if not name or "/" in name or "\\" in name or name.startswith(".") or "\0" in name:
            return ""
        real = os.path.realpath(os.path.join(directory, name))
        if os.path.dirname(real) != directory or not os.path.isfile(real):
            return ""
        return real

    def send_head(self):
        if "\0" in urllib.parse.unquote(self.path):
            self.send_error(400, "Bad request: a NUL in the path")
            return None
        if not self.translate_path(self.path):
            self.send_error(404, "File not found")
            return None
        return super().send_head()

    def list_directory(self, path):
        self.send_error(404, "File not found")
        return None

    def log_message(self, format, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        # A browser that cancels a download, or a client that goes away or stalls, is not an error
        # of the server's; anything else is one line, not a traceback.
        error = sys.exc_info()[1]
        if isinstance(error, (ConnectionError, TimeoutError)):
            return
        print("Request from %s failed: %s: %s" % (client_address[0], type(error).__name__, error),
              file=sys.stderr, flush=True)


try:
    server = Server(("127.0.0.1", int(port_text)), Handler)
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
