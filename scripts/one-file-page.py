#!/usr/bin/python3
"""Makes the browser build's page into one file that plays from disk.

Usage: one-file-page.py DIST OUT.html

DIST is scripts/build-web.sh's dist folder. A page opened from a file: address may fetch nothing,
so the program (lumorakka.js), its WebAssembly and its data package go into the page, base64 in
script elements of type application/octet-stream that the browser does not run; the page's own
script finds them there by name (data-file) and loads nothing else.
"""
import base64
import os
import sys

PIECES = ["lumorakka.js", "lumorakka.wasm", "lumorakka.data"]


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: one-file-page.py DIST OUT.html")
    dist, out = sys.argv[1:]
    try:
        page = open(os.path.join(dist, "index.html"), encoding="utf-8").read()
        pieces = {name: open(os.path.join(dist, name), "rb").read() for name in PIECES}
    except OSError as error:
        sys.exit("Cannot make the one-file page from %s: %s: %s" % (dist, error.filename, error.strerror))
    # The pieces go before the page's script, which reads them as it starts; the panels above them
    # show while the browser reads the rest.
    marker = "\n<script>\n"
    if page.count(marker) != 1:
        sys.exit("Cannot make the one-file page: %s has %d inline scripts, not the one it reads its pieces in"
                 % (os.path.join(dist, "index.html"), page.count(marker)))
    blocks = "".join('\n<script type="application/octet-stream" data-file="%s">%s</script>'
                     % (name, base64.b64encode(data).decode("ascii")) for name, data in pieces.items())
    page = page.replace(marker, blocks + marker)
    partial = out + ".partial"
    with open(partial, "w", encoding="utf-8") as file:
        file.write(page)
    os.replace(partial, out)


if __name__ == "__main__":
    main()
