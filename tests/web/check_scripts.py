#!/usr/bin/python3
"""Checks the browser build's scripts against what an unlucky user or an attacker hands them.

Usage: check_scripts.py WEB WORK (WEB: a browser build directory with its libraries built). Prints one
line per check and closes with "N passed, N failed"; the exit status is 1 when any check failed.
"""
import os
import re
import shlex
import shutil
import signal
import socket
import struct
import subprocess
import sys
import time
import urllib.error
import urllib.request

from check_page import Checks, SERVE_WEB

SCRIPTS = os.path.dirname(SERVE_WEB)
# Ports serve-web.sh must refuse in one line, with the words it gives; "taken" is a port in use.
BAD_PORTS = [("abc", "a port is a number"), ("70000", "a port is a number"), ("-1", "a port is a number"),
             ("\u00b2", "a port is a number"), ("taken", "the port is taken")]
# Requests no browser sends, and the first line of the answer wanted.
RAW_REQUESTS = [(b"GET /index.html%00 HTTP/1.0\r\n\r\n", b"HTTP/1.0 400"),
                (b"GET /index.html\x00 HTTP/1.0\r\n\r\n", b"HTTP/1.0 400")]
HALF_OPEN_SECONDS = 20  # serve-web.sh lets a request that never ends go after this long
# Paths asked of serve-web.sh over the folder laid out below, and the status wanted: the folder's own
# files and links to them, no listings, nothing under it and no link out of it.
FILES = {"index.html": "page", "lumorakka.data": "data", "sub/page.txt": "below", ".hidden": "hidden",
         "../elsewhere/secret.txt": "secret", "../secret.txt": "secret"}
LINKS = {"inside": "index.html", "outside": "../elsewhere/secret.txt", "outside-folder": "../elsewhere"}
REQUESTS = [("/", 200), ("/index.html?still&n=1", 200), ("/lumorakka.data", 200), ("/inside", 200),
            ("/sub/", 404), ("/sub", 404), ("/sub/page.txt", 404), ("/outside", 404),
            ("/outside-folder/secret.txt", 404), ("/../secret.txt", 404), ("/%2e%2e/secret.txt", 404),
            ("/..%2fsecret.txt", 404), ("/.hidden", 404), ("/missing", 404)]


def status_of(url):
    try:
        with urllib.request.urlopen(url, timeout=10) as response:
            return response.status
    except urllib.error.HTTPError as error:
        return error.code


def raw_answer(port, request):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        connection.sendall(request)
        try:
            return connection.recv(200).split(b"\r\n")[0]
        except OSError as error:
            return repr(error).encode()


def connection_closed(connection):
    connection.settimeout(1)
    try:
        return connection.recv(100) == b""
    except socket.timeout:
        return False
    except OSError:
        return True
    finally:
        connection.close()


def check_serve(checks, work):
    folder = os.path.join(work, "serve", "dist")
    shutil.rmtree(os.path.dirname(folder), ignore_errors=True)
    for name, text in FILES.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "w") as out:
            out.write(text)
    for name, target in LINKS.items():
        os.symlink(target, os.path.join(folder, name))
    with open(os.path.join(folder, "big.data"), "wb") as out:
        out.write(bytes(8 << 20))

    taken = socket.create_server(("127.0.0.1", 0))
    for port, words in BAD_PORTS:
        port = str(taken.getsockname()[1]) if port == "taken" else port
        run = subprocess.run([SERVE_WEB, folder, port], capture_output=True, text=True, timeout=30)
        checks.check(run.returncode != 0 and not run.stdout and len(run.stderr.splitlines()) == 1 and
                     words in run.stderr, "serve-web.sh on port %s refuses in one line: %r" % (port, run.stderr))
    taken.close()

    server = subprocess.Popen([SERVE_WEB, folder, "0"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        line = server.stdout.readline()
        match = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        port = int(match.group(1)) if match else 0
        # Asked at once: the port is bound before it is announced.
        wrong = [(path, got) for path, wanted in REQUESTS
                 if (got := port and status_of("http://127.0.0.1:%d%s" % (port, path))) != wanted]
        checks.check(port > 0 and not wrong, "serve-web.sh on port 0, %r: the folder's own files and nothing else "
                     "(%d requests; wrong: %s)" % (line.strip(), len(REQUESTS), wrong or "none"))
        answers = [raw_answer(port, request) for request, _ in RAW_REQUESTS]
        checks.check(all(answer.startswith(wanted) for answer, (_, wanted) in zip(answers, RAW_REQUESTS)),
                     "serve-web.sh answers requests it can't read: %r" % answers)
        # Downloads the browser cancels, and connections that never finish their request.
        for _ in range(3):
            with socket.create_connection(("127.0.0.1", port)) as cancelled:
                cancelled.sendall(b"GET /big.data HTTP/1.0\r\n\r\n")
                cancelled.recv(100)
                cancelled.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        half_open = [socket.create_connection(("127.0.0.1", port)) for _ in range(20)]
        for connection in half_open:
            connection.sendall(b"GET /ind")
        time.sleep(HALF_OPEN_SECONDS + 3)
        dropped = sum(connection_closed(connection) for connection in half_open)
        checks.check(dropped == len(half_open), "serve-web.sh lets go of %d of %d requests left unfinished for %d s"
                     % (dropped, len(half_open), HALF_OPEN_SECONDS + 3))
        server.send_signal(signal.SIGINT)
        status = server.wait(10)
        said = server.stdout.read() + server.stderr.read()
        checks.check(status == 0 and not said, "Ctrl-C ends serve-web.sh quietly (status %d, said %r)" % (status, said))
    finally:
        if server.poll() is None:
            server.kill()
        server.communicate()


def check_build_scripts(checks, web, work):
    # No archive to download from: the download is named as what failed.
    run = subprocess.run([os.path.join(SCRIPTS, "web-deps.sh"), os.path.join(work, "deps")], capture_output=True,
                         text=True, timeout=300, env={**os.environ, "LUMORAKKA_DEBIAN_MIRROR": "http://127.0.0.1:9"})
    last = (run.stderr.strip().splitlines() or [""])[-1]
    checks.check(run.returncode != 0 and "Could not download Debian's source index from http://127.0.0.1:9" in last,
                 "web-deps.sh with no archive to reach says the download failed: %r" % last)

    # A checkout path with spaces: the data directory is packed whole.
    root = os.path.join(work, "a checkout with spaces")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    data, build = os.path.join(root, "linux data"), os.path.join(root, "web program")
    os.symlink(os.path.join(web, "dist"), data)
    run = subprocess.run(["emcmake", "cmake", "-S", os.path.dirname(SCRIPTS), "-B", build, "-G", "Unix Makefiles",
                          "-DLUMORAKKA_WEB_DEPS=" + os.path.join(web, "deps", "prefix"), "-DLUMORAKKA_WEB_DATA=" + data],
                         capture_output=True, text=True, timeout=300, env={**os.environ, "NODE_PATH": "/usr/share/nodejs"})
    link = os.path.join(build, "CMakeFiles", "lumorakka.dir", "link.txt")
    words = shlex.split(open(link).read()) if run.returncode == 0 else []
    packed = [words[i + 1] for i, word in enumerate(words[:-1]) if word == "--preload-file"]
    checks.check(packed == [data + "@/data"], "the browser build under a path with spaces packs %r" % packed)


def main():
    web, work = os.path.abspath(sys.argv[1]), sys.argv[2]
    os.makedirs(work, exist_ok=True)
    checks = Checks()
    check_serve(checks, work)
    check_build_scripts(checks, web, work)
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
