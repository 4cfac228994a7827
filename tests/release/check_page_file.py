#!/usr/bin/python3
"""Checks the release's one-file page opened from disk (a file: address) in headless Chromium.

Usage: check_page_file.py PAGE.html RENDER_FRAMES WORK

The page starts on a click and plays with its sound, P pauses it, #t= starts it later, the end card
and "Play again" work, two stills match render_frames' frames (at least 45 dB), nothing is written
to the console as an error, and every request the page makes is for the page itself: nothing is
fetched from anywhere else. Prints one line per check, then "N passed, N failed"; exit status 1
when any check failed.
"""
import os
import sys
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "web"))
import check_page  # noqa: E402

# One still in the first scene, one in the sequence; between beats, so without the beat flash.
STILL_TIMES = [8.508, 66.2]


class RecordingBrowser(check_page.Browser):
    """The checks' browser, also noting the address of every request the page makes."""

    def __init__(self, work, name):
        self.requests = []
        super().__init__(work, name)
        self.call("Network.enable")

    def _event(self, message):
        if message.get("method") == "Network.requestWillBeSent":
            self.requests.append(message["params"]["request"]["url"])
        super()._event(message)


def check_play(checks, browser, url):
    """Click to start, the show plays with its sound, P pauses it and P again goes on. The timing
    of play against the sound is the served page's check (tests/web/check_page.py): the same
    program, and a check a busy machine can upset."""
    ready = browser.start_show(url)
    playing = ready and browser.wait_for("Module.lumorakka.audioStartedAt && Module.lumorakka.showSeconds > 1", 60)
    checks.check(bool(playing), "from disk the page loads, starts on a click and plays with its sound")
    if not playing:
        return
    clock = "Module._lumorakkaShowClock()"
    browser.press("KeyP", "p", 80)
    browser.pump(1.0)
    paused = browser.evaluate("[%s, Module.lumorakka.audioStartedAt === null]" % clock)
    browser.pump(1.0)
    still_paused = browser.evaluate(clock)
    browser.press("KeyP", "p", 80)
    goes_on = browser.wait_for("Module.lumorakka.audioStartedAt && %s > %f" % (clock, paused[0] + 0.5), 30)
    checks.check(paused[1] and still_paused == paused[0] and bool(goes_on),
                 "P pauses the show and its sound at %.3f s, P again goes on" % paused[0])


def main():
    page, render_frames, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    url = urllib.parse.urljoin("file:", urllib.request.pathname2url(os.path.abspath(page)))
    checks = check_page.Checks()
    references = check_page.render_references(render_frames, work, STILL_TIMES)
    browser = RecordingBrowser(work, "file")
    try:
        check_play(checks, browser, url)
        check_page.check_end_card(checks, browser, url)
        check_page.check_stills(checks, browser, url, references, work, STILL_TIMES)
        errors = list(browser.console_errors)
        checks.check(not errors, "no console errors%s" % ("" if not errors else ": " + "; ".join(errors[:5])))
        # The page's own address, with a query or fragment, and the empty icon written into it.
        elsewhere = sorted({address for address in browser.requests
                            if address.split("?")[0].split("#")[0] != url and address != "data:,"})
        checks.check(browser.requests and not elsewhere,
                     "%d requests, none for anything but the page itself%s"
                     % (len(browser.requests), "" if not elsewhere else ": " + ", ".join(elsewhere[:5])))
    finally:
        browser.close()
    print("page: %s, %d bytes" % (page, os.path.getsize(page)))
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
