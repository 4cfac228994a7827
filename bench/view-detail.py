#!/usr/bin/python3
"""What a larger picture gains: the show drawn at 800x600 and at a larger size, frame by frame.

Usage: bench/view-detail.py BUILD [WxH] [TIME...]

Runs BUILD/render_frames (from BUILD, under Xvfb when there is no display) at 800x600 and at WxH
(default 1440x1080, a 4:3 size) at the golden frames' times, or at the TIMEs given, and prints for
each time:
- the PSNR of the large frame, area-averaged down to 800x600, against the 800x600 frame: how much
  the same picture it is;
- its fine detail, the mean absolute Laplacian of its luma, over that of the 800x600 frame
  enlarged to WxH with a Lanczos filter (what scaling the small frame up gives);
- the same ratio over the middle quarter of the frame (half its width and height, where the
  subject stands in front of the light) and over the rest (mostly sky), and the rest's share of
  the large frame's detail: which of the two the detail is made of.
Prints figures and asserts nothing; the frames stay in a temporary folder that is removed.
"""
import math
import os
import subprocess
import sys
import tempfile

import numpy
from PIL import Image

BEAT = 60.0 / 130


def beat(k):
    return k * BEAT - 0.2


GOLDEN_TIMES = [2.0, 10.0, 17.3, beat(39) + 0.04, beat(40) + 0.04, beat(41) + 0.04, 21.0, 25.0, 29.6, 32.0, 35.5,
                39.0, 43.0, beat(100) + 0.15, 50.0, 57.0, 61.0, 65.0, 69.0, 105.0, 109.0, 205.999]


def render(build, size, times, folder):
    command = [os.path.join(build, "render_frames"), "--size", size, "--out", folder] + ["%.6f" % t for t in times]
    if not os.environ.get("DISPLAY"):
        command = ["xvfb-run", "-a", "-s", "-screen 0 800x600x24"] + command
    subprocess.run(command, cwd=build, check=True, stdout=subprocess.DEVNULL)
    return [os.path.join(folder, "frame%04d.png" % i) for i in range(len(times))]


def laplacian(picture):
    luma = numpy.asarray(picture.convert("L"), dtype=numpy.float64)
    return numpy.abs(luma[1:-1, :-2] + luma[1:-1, 2:] + luma[:-2, 1:-1] + luma[2:, 1:-1] -
                     4 * luma[1:-1, 1:-1])


def middle_quarter(shape):
    """A mask of the middle half of the rows and of the columns."""
    mask = numpy.zeros(shape, dtype=bool)
    height, width = shape
    mask[height // 4:height - height // 4, width // 4:width - width // 4] = True
    return mask


def psnr(first, second):
    a = numpy.asarray(first, dtype=numpy.float64)
    b = numpy.asarray(second, dtype=numpy.float64)
    mse = numpy.mean((a - b) ** 2)
    return math.inf if mse == 0 else 10 * math.log10(255.0 ** 2 / mse)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    size = sys.argv[2] if len(sys.argv) > 2 else "1440x1080"
    width, height = (int(side) for side in size.lower().split("x"))
    times = [float(t) for t in sys.argv[3:]] or GOLDEN_TIMES
    with tempfile.TemporaryDirectory() as folder:
        small = render(build, "800x600", times, os.path.join(folder, "small"))
        large = render(build, size, times, os.path.join(folder, "large"))
        print("%9s  %9s  %6s  %6s  %6s  %s" %
              ("time (s)", "PSNR (dB)", "detail", "middle", "rest", "rest's share"))
        psnrs, ratios = [], []
        for t, small_path, large_path in zip(times, small, large):
            small_picture = Image.open(small_path).convert("RGB")
            large_picture = Image.open(large_path).convert("RGB")
            reduced = large_picture.resize((800, 600), Image.BOX)
            enlarged = small_picture.resize((width, height), Image.LANCZOS)
            psnrs.append(psnr(reduced, small_picture))
            large_detail, enlarged_detail = laplacian(large_picture), laplacian(enlarged)
            ratios.append(large_detail.mean() / enlarged_detail.mean())
            middle = middle_quarter(large_detail.shape)
            print("%9.3f  %9.1f  %5.2fx  %5.2fx  %5.2fx  %5.0f %%" %
                  (t, psnrs[-1], ratios[-1], large_detail[middle].sum() / enlarged_detail[middle].sum(),
                   large_detail[~middle].sum() / enlarged_detail[~middle].sum(),
                   100 * large_detail[~middle].sum() / large_detail.sum()))
        print("lowest PSNR %.1f dB, detail %.2fx to %.2fx (median %.2fx)" %
              (min(psnrs), min(ratios), max(ratios), sorted(ratios)[len(ratios) // 2]))


if __name__ == "__main__":
    main()
