#!/usr/bin/python3
"""Checks the browser build in headless Chromium, driven through the DevTools protocol.

Usage: check_page.py DIST RENDER_FRAMES WORK

DIST holds the page (scripts/build-web.sh); RENDER_FRAMES is the Linux offline renderer, run from
its build directory, whose frames the page's stills must match. Stills, rendered frames, the
screenshot and Chromium's log stay in WORK. Prints one line per check and closes with
"N passed, N failed"; the exit status is 1 when any check failed.
"""
import base64
import json
import math
import os
import re
import shutil
import subprocess
import sys
import time
import urllib.request

import numpy
import websocket
from PIL import Image

# Show times between beats (no beat flash in the browser or the renderer), across the three scenes:
# the marble figure, the metaballs and the sequence.
# 0.4 s after a beat of the 130 beats-per-minute grid, when the 0.3 s pulse is over.
STILL_TIMES = [2.508, 8.508, 14.969, 23.277, 26.508, 29.277, 40.815, 66.2, 98.969, 130.815, 161.738, 195.892]
PSNR_FLOOR = 45.0  # dB
SYNC_LIMIT = 0.050  # seconds between the show's clock and the sound heard, read at the same moment
PLAY_SECONDS = 10.0
# Addresses at or past the end of the show (206 s): "#t" for play, and for a still. Each shows the
# end card at once, with no frame of the show drawn.
PLAY_PAST_THE_END = ["206", "300", "3000000", "9" * 400, "1e3"]
STILL_PAST_THE_END = ["206", "1000", "99999999999", "2.06e2"]
# Times written as the program's options and render_frames take them, and the still's title.
STILL_TIME_SPELLINGS = [("5.", "ready: show time 5.000 s"), (".25", "ready: show time 0.250 s"),
                        ("1.5e1", "ready: show time 15.000 s")]
# What becomes of the data package on the server, and the words the page must say of it.
BROKEN_PACKAGES = [
    ("without-data", None, "404"),
    ("cut-short", lambda data: data[:len(data) // 2], "arrived cut short"),
    ("too-long", lambda data: data + bytes(4096), "from different builds"),
]
SERVE_WEB = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                         "scripts", "serve-web.sh")
CHROMIUM_FLAGS = [
    "--headless=new", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
    "--autoplay-policy=no-user-gesture-required", "--no-sandbox", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--no-first-run", "--no-default-browser-check",
    "--hide-scrollbars", "--window-size=800,600",
]


class Server:
    """The page's folder on 127.0.0.1, served by scripts/serve-web.sh on a free port."""

    def __init__(self, directory):
        self.process = subprocess.Popen([SERVE_WEB, directory, "0"], stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.search(r" at (http://127\.0\.0\.1:[1-9][0-9]*/) ", line)
        if not match:
            self.close()
            raise RuntimeError("scripts/serve-web.sh did not say where it serves: %r" % line)
        self.url = match.group(1)

    def close(self):
        self.process.terminate()
        self.process.wait(20)
        self.process.stdout.close()


class Browser:
    """One headless Chromium with a fresh profile and one page, spoken to over DevTools."""

    def __init__(self, work, name):
        self.profile = os.path.join(work, "profile-" + name)
        shutil.rmtree(self.profile, ignore_errors=True)
        self.log = open(os.path.join(work, "chromium-%s.log" % name), "w")
        self.process = subprocess.Popen(
            ["chromium", *CHROMIUM_FLAGS, "--user-data-dir=" + self.profile, "--remote-debugging-port=0",
             "about:blank"], stdout=self.log, stderr=subprocess.STDOUT)
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.time() + 60
        while not os.path.exists(port_file) or os.path.getsize(port_file) == 0:
            if time.time() > deadline or self.process.poll() is not None:
                raise RuntimeError("Chromium did not start (see %s)" % self.log.name)
            time.sleep(0.2)
        port = open(port_file).read().split()[0]
        targets = json.load(urllib.request.urlopen("http://127.0.0.1:%s/json" % port))
        page = next(t for t in targets if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=120)
        self.next_id = 0
        self.console_errors = []
        for domain in ("Page", "Runtime", "Log"):
            self.call(domain + ".enable")
        self.call("Emulation.setDeviceMetricsOverride", width=800, height=600, deviceScaleFactor=1, mobile=False)

    def _event(self, message):
        method, params = message.get("method"), message.get("params", {})
        if method == "Runtime.consoleAPICalled" and params.get("type") == "error":
            self.console_errors.append(" ".join(str(a.get("value", a.get("description", "")))
                                                for a in params.get("args", [])))
        elif method == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            self.console_errors.append(details.get("exception", {}).get("description", details.get("text", "")))
        elif method == "Log.entryAdded" and params.get("entry", {}).get("level") == "error":
            entry = params["entry"]
            self.console_errors.append("%s %s" % (entry.get("text", ""), entry.get("url", "")))

    def call(self, method, **params):
        self.next_id += 1
        wanted = self.next_id
        self.socket.send(json.dumps({"id": wanted, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == wanted:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            self._event(message)

    def pump(self, seconds):
        """Reads events for a while (console messages arrive as events)."""
        self.socket.settimeout(0.05)
        end = time.time() + seconds
        try:
            while time.time() < end:
                try:
                    self._event(json.loads(self.socket.recv()))
                except websocket.WebSocketTimeoutException:
                    pass
        finally:
            self.socket.settimeout(120)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"].get("text")))
        return result["result"].get("value")

    def open(self, url):
        self.call("Page.navigate", url=url)

    def wait_for(self, expression, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            try:
                value = self.evaluate(expression)
            except RuntimeError:
                value = None  # the page is still loading: its elements are not there yet
            if value:
                return value
            self.pump(0.25)
        return None

    def start_show(self, url):
        """Opens the page and starts it as a viewer does, with the click if it asks for one."""
        self.open(url)
        ready = self.wait_for("document.getElementById('loading').hidden", 120)
        if ready and not self.evaluate("document.getElementById('click').hidden"):
            self.click(400, 300)
        return ready

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def press(self, code, key, key_code):
        for kind in ("rawKeyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", type=kind, code=code, key=key, windowsVirtualKeyCode=key_code)

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png",
                         clip={"x": 0, "y": 0, "width": 800, "height": 600, "scale": 1})["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    def close(self):
        try:
            self.socket.close()
        except Exception:
            pass
        self.process.terminate()
        try:
            self.process.wait(20)
        except subprocess.TimeoutExpired:
            self.process.kill()
        self.log.close()


def psnr(first, second):
    a = numpy.asarray(Image.open(first).convert("RGB"), dtype=numpy.float64)
    b = numpy.asarray(Image.open(second).convert("RGB"), dtype=numpy.float64)
    if a.shape != b.shape:
        return -1.0
    mse = numpy.mean((a - b) ** 2)
    return math.inf if mse == 0 else 10 * math.log10(255.0 ** 2 / mse)


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, ok, text):
        print("%s: %s" % ("ok" if ok else "FAIL", text), flush=True)
        if ok:
            self.passed += 1
        else:
            self.failed += 1


def render_references(render_frames, work, times=STILL_TIMES):
    """The renderer's frames at the times, with the beat flash it reports for each."""
    folder = os.path.join(work, "rendered")
    build = os.path.dirname(os.path.abspath(render_frames))
    output = subprocess.run([os.path.abspath(render_frames), "--out", folder, *map(str, times)], cwd=build,
                            check=True, capture_output=True, text=True).stdout
    frames = {}
    for line in output.splitlines():
        match = re.match(r"^([0-9.]+) (\S+) beat flash ([0-9.]+)$", line)
        if match:
            frames[float(match.group(1))] = (match.group(2), float(match.group(3)))
    return frames


def check_stills(checks, browser, url, references, work, times=STILL_TIMES):
    stills = os.path.join(work, "stills")
    os.makedirs(stills, exist_ok=True)
    for number, seconds in enumerate(times):
        # A new query each time: a change of fragment alone would not load the page again.
        browser.open("%s?still&n=%d#t=%s" % (url, number, seconds))
        title = browser.wait_for("document.title.startsWith('ready') || document.title.startsWith('error')"
                                 " ? document.title : ''", 120)
        if not title or not title.startswith("ready"):
            checks.check(False, "still at %.3f s: the page said %r" % (seconds, title))
            continue
        path = os.path.join(stills, "still%04d.png" % number)
        browser.screenshot(path)
        reference, reference_flash = references.get(seconds, (None, None))
        flash = float(re.search(r"beat flash ([0-9.]+)", title).group(1))
        value = psnr(path, reference) if reference else -1
        checks.check(value >= PSNR_FLOOR and flash == 0 and reference_flash == 0,
                     "still at %7.3f s: PSNR %5.1f dB against render_frames (beat flash %.2f here, %.2f there)"
                     % (seconds, value, flash, reference_flash if reference_flash is not None else -1))


AUDIO_CLOCK = """(() => {
    const page = Module.lumorakka, context = page.audio, started = page.audioStartedAt;
    if (!context || !started) return null;
    const latency = context.outputLatency || context.baseLatency || 0;
    return started.offset + (context.currentTime - latency - started.contextTime);
})()"""


def check_play(checks, browser, url, work):
    """Loads the page, starts it as a viewer does and lets it play; returns the frame rate."""
    browser.open(url)
    ready = browser.wait_for("document.getElementById('loading').hidden || document.title.startsWith('error')", 120)
    checks.check(bool(ready) and not browser.evaluate("document.title.startsWith('error')"),
                 "the page loads its data and the program")
    # The click a viewer gives; with the autoplay flag the sound may already be running.
    if not browser.evaluate("document.getElementById('click').hidden"):
        browser.click(400, 300)
    started = browser.wait_for("Module.lumorakka.audioStartedAt ? true : false", 30)
    checks.check(bool(started), "after the click the soundtrack plays")
    if not started:
        return None
    # The show's clock beside the sound heard, read together every 100 ms, and each frame's show
    # time beside the sound heard as it is drawn.
    browser.evaluate("""(() => {
        const page = Module.lumorakka, drawn = page.frameDrawn;
        const audioClock = () => %s;
        page.clockSamples = [];
        page.drawSamples = [];
        page.sampler = setInterval(() => page.clockSamples.push(
            [Module._lumorakkaShowClock(), audioClock(), performance.now()]), 100);
        page.frameDrawn = showSeconds => {
            drawn(showSeconds);
            page.drawSamples.push([showSeconds, audioClock()]);
        };
    })()""" % AUDIO_CLOCK)
    browser.pump(PLAY_SECONDS)
    browser.evaluate("clearInterval(Module.lumorakka.sampler)")
    samples = [s for s in browser.evaluate("Module.lumorakka.clockSamples") or [] if s[1] is not None]
    drawn = [s for s in browser.evaluate("Module.lumorakka.drawSamples") or [] if s[1] is not None]
    check_pause(checks, browser)
    browser.evaluate("document.getElementById('rate').click()")
    browser.pump(1.5)
    browser.screenshot(os.path.join(work, "page.png"))
    if len(samples) < 2 or len(drawn) < 2:
        checks.check(False, "clock readings while playing: %d, frames drawn: %d" % (len(samples), len(drawn)))
        return None
    worst = max(abs(show - heard) for show, heard, _ in samples)
    span = samples[-1][0] - samples[0][0]
    wall = (samples[-1][2] - samples[0][2]) / 1000
    checks.check(worst <= SYNC_LIMIT and abs(span - wall) <= 0.25,
                 "over %.1f s of play (%d readings) the show time keeps to the audio clock within %.1f ms "
                 "(show time advanced %.2f s in %.2f s)" % (wall, len(samples), worst * 1000, span, wall))
    lag = sorted(heard - show for show, heard in drawn)
    print("sound heard as each frame is handed to the browser, after the frame's show time: median %.0f ms, "
          "largest %.0f ms" % (lag[len(lag) // 2] * 1000, lag[-1] * 1000), flush=True)
    frames = len(drawn) - 1
    return frames / (drawn[-1][1] - drawn[0][1]), drawn[0][0], drawn[-1][0]


def check_pause(checks, browser):
    """P stops the show and its sound; P again goes on from the same moment, in step with the sound."""
    browser.press("KeyP", "p", 80)
    browser.pump(0.5)
    paused = browser.evaluate("[Module._lumorakkaShowClock(), Module.lumorakka.audioStartedAt === null]")
    browser.pump(1.0)
    still_paused = browser.evaluate("Module._lumorakkaShowClock()")
    # The page's own clock times the play after the second P: a busy machine stretches the wait, and a
    # pause that let the show run on would put the paused second and a half into the show time too.
    pressed = browser.evaluate("performance.now()")
    browser.press("KeyP", "p", 80)
    browser.pump(1.5)
    resumed = browser.evaluate("[Module._lumorakkaShowClock(), %s, performance.now()]" % AUDIO_CLOCK)
    played = resumed[0] - paused[0]
    ran = (resumed[2] - pressed) / 1000
    checks.check(paused[1] and still_paused == paused[0] and resumed[1] is not None and
                 ran - 0.5 <= played <= ran + 0.1 and abs(resumed[0] - resumed[1]) <= SYNC_LIMIT,
                 "P pauses the show and its sound at %.3f s; P again goes on with the sound (%.3f s in %.3f s, "
                 "heard %s s)" % (paused[0], resumed[0], ran,
                                  "%.3f" % resumed[1] if resumed[1] is not None else "nothing"))


def check_canvas_size(checks, browser):
    """A larger window: the canvas draws as many pixels as it shows, and the show goes on drawing."""
    before = browser.evaluate("Module.lumorakka.framesDrawn")
    browser.call("Emulation.setDeviceMetricsOverride", width=1280, height=720, deviceScaleFactor=1, mobile=False)
    browser.pump(3.0)
    canvas = browser.evaluate("[document.getElementById('canvas').width, document.getElementById('canvas').height,"
                              " Module.lumorakka.framesDrawn]")
    browser.call("Emulation.setDeviceMetricsOverride", width=800, height=600, deviceScaleFactor=1, mobile=False)
    browser.pump(1.0)
    checks.check(canvas[:2] == [960, 720] and canvas[2] > before and not browser.console_errors,
                 "in a 1280 by 720 window the canvas draws %d by %d pixels and the show goes on (%d frames)"
                 % (canvas[0], canvas[1], canvas[2] - before))


def check_end_card(checks, browser, url):
    """A link to 170 s, Page Down to 200 s, the end card at 206 s, and "play again" from 0."""
    browser.start_show(url + "?n=end#t=170")
    started = browser.wait_for("Module.lumorakka.framesDrawn > 0 && Module.lumorakka.showSeconds >= 170 &&"
                               " Module.lumorakka.showSeconds < 180", 30)
    browser.press("PageDown", "PageDown", 34)
    jumped = browser.wait_for("Module.lumorakka.showSeconds >= 199.5", 20)
    checks.check(bool(started) and bool(jumped), "#t=170 starts the show there and Page Down seeks 30 s on")
    ended = browser.wait_for("!document.getElementById('end').hidden", 30)
    checks.check(bool(ended), "at the end of the show the page shows its end card")
    if not ended:
        return
    browser.evaluate("document.getElementById('again').click()")
    again = browser.wait_for("document.getElementById('end').hidden && Module.lumorakka.showSeconds > 0.5 &&"
                             " Module.lumorakka.showSeconds < 10", 30)
    checks.check(bool(again), "\"play again\" plays the show from its start")


def check_play_again(checks, browser, url):
    """Paused, sought past the end, keys pressed on the end card: "Play again" plays from 0 with sound."""
    browser.start_show(url + "?n=again#t=200")
    browser.wait_for("Module.lumorakka.framesDrawn > 0 && Module.lumorakka.audioStartedAt", 30)
    browser.press("KeyP", "p", 80)
    browser.pump(0.5)
    browser.press("PageDown", "PageDown", 34)
    ended = browser.wait_for("!document.getElementById('end').hidden", 20)
    for code, key, key_code in (("PageDown", "PageDown", 34), ("KeyP", "p", 80), ("ArrowUp", "ArrowUp", 38)):
        browser.press(code, key, key_code)
    browser.pump(0.5)
    browser.evaluate("document.getElementById('again').click()")
    playing = "document.getElementById('end').hidden && Module.lumorakka.audioStartedAt !== null && " \
              "Module.lumorakka.showSeconds > %s && Module.lumorakka.showSeconds < 10"
    first = browser.wait_for(playing % 0.5, 30)
    later = first and browser.evaluate("Module.lumorakka.showSeconds")
    moved = first and browser.wait_for(playing % later, 10)
    checks.check(bool(ended and first and moved),
                 "paused, sought past the end, keys on the end card: \"play again\" plays from 0 with its sound "
                 "(show time %s)" % (later if first else "not between 0.5 and 10 s"))


def check_past_the_end(checks, work, url):
    """Every time at or past the end is the end card, at once, for play and for stills alike."""
    for still, times in ((False, PLAY_PAST_THE_END), (True, STILL_PAST_THE_END)):
        for seconds in times:
            what = "%s at #t=%s" % ("still" if still else "play", seconds if len(seconds) < 16 else "9 x %d" % len(seconds))
            # A fresh browser each time: a page that hangs takes nothing else with it.
            browser = Browser(work, "past-the-end")
            try:
                browser.start_show("%s%s#t=%s" % (url, "?still" if still else "", seconds))
                end_card = browser.wait_for("!document.getElementById('end').hidden", 20)
                state = browser.evaluate("[document.title, Module.lumorakka.framesDrawn]")
            except Exception as error:  # a hung page answers nothing before the socket's time-out
                end_card, state = False, ["no answer: %s" % error, None]
            finally:
                browser.close()
            title_ok = state[0].startswith("ended: nothing drawn") if still else not state[0].startswith(("ready", "error"))
            checks.check(bool(end_card) and state[1] == 0 and title_ok,
                         "%s: the end card, no frame drawn (%s frames, title %r)" % (what, state[1], state[0]))


def check_page_edges(checks, work, dist, url):
    """Times spelt as the program takes them, full screen refused in a frame, a program error of
    several lines, and the page opened from the disk."""
    for fragment, title in STILL_TIME_SPELLINGS:
        browser = Browser(work, "spelling")
        try:
            browser.open("%s?still&n=spelling#t=%s" % (url, fragment))
            shown = browser.wait_for("document.title.startsWith('ready') || document.title.startsWith('error')"
                                     " ? document.title : ''", 120)
        finally:
            browser.close()
        checks.check((shown or "").startswith(title), "still at #t=%s: %r" % (fragment, shown))

    # In another site's frame that doesn't allow full screen, the button's refusal leaves the show on.
    framed = os.path.join(work, "framed")
    shutil.rmtree(framed, ignore_errors=True)
    shutil.copytree(dist, framed)
    with open(os.path.join(framed, "frame.html"), "w") as out:
        out.write('<!DOCTYPE html><iframe src="index.html" width="800" height="600"></iframe>')
    server = Server(framed)
    browser = Browser(work, "framed")
    inner = "document.querySelector('iframe').contentWindow"
    try:
        browser.open(server.url + "frame.html")
        browser.wait_for(inner + ".Module.lumorakka.framesDrawn > 0", 120)
        browser.evaluate(inner + ".document.getElementById('full').click()")
        before = browser.evaluate(inner + ".Module.lumorakka.framesDrawn")
        browser.pump(2)
        state = browser.evaluate("[%s.document.getElementById('error').hidden, %s.Module.lumorakka.framesDrawn, "
                                 "%s.document.getElementById('full').disabled]" % (inner, inner, inner))
    finally:
        browser.close()
        server.close()
    checks.check(state[0] and state[1] > (before or 0) and state[2],
                 "full screen refused in a frame: no error, the show goes on (frames %s to %s), the button "
                 "is disabled (%s)" % (before, state[1], state[2]))

    # The program's message comes in lines on its standard error and whole to the panel: once each.
    browser = Browser(work, "lines")
    try:
        browser.open(url + "?n=lines")
        browser.wait_for("window.Module && Module.lumorakka", 60)
        reason = browser.evaluate("""(() => {
            const text = 'Error compiling fragment shader: data/materials/m.mat:\\n0:3(1): error: syntax';
            for (const line of ['loading', ...text.split('\\n')]) Module.printErr(line);
            Module.lumorakka.showError(text);
            return document.getElementById('reason').textContent;
        })()""")
    finally:
        browser.close()
    lines = (reason or "").split("\n")
    checks.check(lines.count("0:3(1): error: syntax") == 1 and "loading" in lines,
                 "a program error of two lines shows each once: %r" % reason)

    # Opened from the disk, the page says it must be served, and how.
    browser = Browser(work, "disk")
    try:
        browser.open("file://" + os.path.abspath(os.path.join(dist, "index.html")))
        browser.wait_for("document.title.startsWith('error')", 60)
        shown = browser.evaluate("document.getElementById('reason').textContent") or ""
    finally:
        browser.close()
    checks.check("scripts/serve-web.sh" in shown and "web/lumorakka.html" in shown,
                 "opened from the disk, the page says how to serve it: %r" % shown)


def check_broken_packages(checks, work, dist):
    """A data package missing, cut short or of another build: the page says so in words."""
    data = open(os.path.join(dist, "lumorakka.data"), "rb").read()
    for name, change, words in BROKEN_PACKAGES:
        broken = os.path.join(work, name)
        shutil.rmtree(broken, ignore_errors=True)
        os.makedirs(broken)
        for file in os.listdir(dist):
            if file != "lumorakka.data":
                shutil.copy(os.path.join(dist, file), broken)
        if change:
            with open(os.path.join(broken, "lumorakka.data"), "wb") as out:
                out.write(change(data))
        server = Server(broken)
        browser = Browser(work, name)
        try:
            browser.open(server.url)
            title = browser.wait_for("document.title.startsWith('error') ? document.title : ''", 60)
            shown = browser.evaluate("!document.getElementById('error').hidden && "
                                     "document.getElementById('reason').textContent") or ""
            browser.screenshot(os.path.join(work, name + ".png"))
            checks.check(bool(title) and "lumorakka.data" in shown and words in shown,
                         "%s: the page says so in words: %r" % (name, shown))
        finally:
            browser.close()
            server.close()


def main():
    dist, render_frames, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    checks = Checks()
    references = render_references(render_frames, work)
    server = Server(dist)
    browser = Browser(work, "page")
    try:
        played = check_play(checks, browser, server.url, work)
        errors = list(browser.console_errors)
        checks.check(not errors, "no console errors while loading and playing%s"
                     % ("" if not errors else ": " + "; ".join(errors[:5])))
        check_canvas_size(checks, browser)
        check_end_card(checks, browser, server.url)
        check_play_again(checks, browser, server.url)
        check_stills(checks, browser, server.url, references, work)
        if played:
            fps, first, last = played
            print("frame rate in the browser: %.1f frames per second (show time %.1f to %.1f s, "
                  "SwiftShader WebGL 2)" % (fps, first, last), flush=True)
    finally:
        browser.close()
    try:
        check_past_the_end(checks, work, server.url)
        check_page_edges(checks, work, dist, server.url)
    finally:
        server.close()
    check_broken_packages(checks, work, dist)
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
