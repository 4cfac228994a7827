#!/usr/bin/python3
"""Where the browser's frame time goes, beside the Linux renderer's frame rate measured right after.

Plays the page in headless Chromium (SwiftShader's WebGL 2, as scripts/test-web.sh runs it) for a
while in the first scene and reads, per frame drawn: the page's script time on its main thread (the
program's WebAssembly, the GL route in it, and WebGL's bindings that take its calls), the CPU time of
the page's process, and that of the GPU process (which decodes the WebGL commands and rasterises
them with SwiftShader). Then render_frames --bench in the same scene, off-screen.

Usage: bench/web-frame-time.py WEB-DIST LINUX-BUILD [SECONDS (default 10)] [ROUNDS (default 2)]
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "web"))
import check_page  # noqa: E402  (the page's Server and Browser)

TICKS = os.sysconf("SC_CLK_TCK")


def process_times(root):
    """CPU seconds of each of Chromium's processes under `root`, summed by kind (gpu, renderer, other)."""
    children = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            with open("/proc/%s/cmdline" % pid) as f:
                command = f.read()
        except OSError:
            continue
        children.setdefault(int(fields[1]), []).append((int(pid), (int(fields[11]) + int(fields[12])) / TICKS, command))
    totals = {"gpu": 0.0, "renderer": 0.0, "other": 0.0}
    pending = [root]
    while pending:
        for pid, seconds, command in children.get(pending.pop(), []):
            kind = "gpu" if "--type=gpu-process" in command else "renderer" if "--type=renderer" in command else "other"
            totals[kind] += seconds
            pending.append(pid)
    return totals


def measure_page(dist, seconds):
    server = check_page.Server(dist)
    work = tempfile.mkdtemp(prefix="web-frame-time-")
    browser = check_page.Browser(work, "bench")
    try:
        browser.call("Performance.enable")
        browser.start_show(server.url + "#t=1")
        browser.wait_for("Module.lumorakka.framesDrawn > 5", 60)
        metrics = lambda: {m["name"]: m["value"] for m in browser.call("Performance.getMetrics")["metrics"]}
        start = (browser.evaluate("Module.lumorakka.framesDrawn"), metrics(), process_times(browser.process.pid))
        browser.pump(seconds)
        end = (browser.evaluate("Module.lumorakka.framesDrawn"), metrics(), process_times(browser.process.pid))
        show = browser.evaluate("Module.lumorakka.showSeconds")
    finally:
        browser.close()
        server.close()
        shutil.rmtree(work, ignore_errors=True)
    frames = end[0] - start[0]
    per_frame = lambda value: 1000.0 * value / max(frames, 1)
    print("page: %d frames in %.1f s of play (to show time %.1f s): %.1f frames per second; per frame: "
          "script %.1f ms, page process %.1f ms CPU, GPU process %.1f ms CPU, Chromium's others %.1f ms CPU"
          % (frames, seconds, show, frames / seconds,
             per_frame(end[1]["ScriptDuration"] - start[1]["ScriptDuration"]),
             per_frame(end[2]["renderer"] - start[2]["renderer"]), per_frame(end[2]["gpu"] - start[2]["gpu"]),
             per_frame(end[2]["other"] - start[2]["other"])), flush=True)
    return frames / seconds


def measure_native(build):
    environment = dict(os.environ)
    environment.pop("DISPLAY", None)
    output = subprocess.run(["./render_frames", "--bench", "60"], cwd=build, env=environment, check=True,
                            capture_output=True, text=True).stdout
    line = next(l for l in output.splitlines() if l.startswith("scene 1"))
    print("render_frames --bench 60, off-screen: " + " ".join(line.split()), flush=True)
    return 1000.0 / float(line.split("median")[1].split("ms")[0])


def main():
    dist, build = sys.argv[1:3]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10.0
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 2
    for number in range(rounds):
        page = measure_page(dist, seconds)
        native = measure_native(build)
        print("round %d: the page at %.2fx the Linux renderer's frame rate" % (number + 1, page / native), flush=True)


if __name__ == "__main__":
    main()
