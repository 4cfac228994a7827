#!/usr/bin/python3
"""Checks that a capture is what the release promises of it, and prints what it is.

Usage: check-capture.py FILE.mp4 [SECONDS (default 206)]

1920x1080 H.264 at 60 frames a second with at least 6 Mbit/s, AAC with at least 128 kbit/s, the
whole show's length, and the index ahead of the pictures (faststart). Exit status 1 when not.
"""
import json
import struct
import subprocess
import sys

VIDEO_FLOOR = 6_000_000  # bits per second
SOUND_FLOOR = 128_000


def top_level_boxes(path):
    """The MP4 file's top-level box types, in order."""
    kinds = []
    with open(path, "rb") as file:
        while True:
            header = file.read(8)
            if len(header) < 8:
                return kinds
            size, kind = struct.unpack(">I4s", header)
            if size == 1:
                size = struct.unpack(">Q", file.read(8))[0]
                file.seek(size - 16, 1)
            elif size == 0:
                return kinds + [kind.decode("latin-1")]
            elif size < 8:
                return kinds + ["damaged"]
            else:
                file.seek(size - 8, 1)
            kinds.append(kind.decode("latin-1"))


def main():
    path = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 206.0
    probe = subprocess.run(["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", path],
                           capture_output=True, text=True)
    if probe.returncode != 0:
        sys.exit("%s cannot be read: %s" % (path, probe.stderr.strip()))
    info = json.loads(probe.stdout)
    streams = {s["codec_type"]: s for s in info["streams"]}
    video, sound = streams.get("video", {}), streams.get("audio", {})
    video_rate, sound_rate = int(video.get("bit_rate", 0)), int(sound.get("bit_rate", 0))
    duration = float(info["format"].get("duration", 0))
    boxes = top_level_boxes(path)
    problems = []
    if video.get("codec_name") != "h264" or (video.get("width"), video.get("height")) != (1920, 1080):
        problems.append("the video is %s %sx%s, not H.264 at 1920x1080"
                        % (video.get("codec_name"), video.get("width"), video.get("height")))
    if video.get("avg_frame_rate") != "60/1":
        problems.append("the video runs at %s frames a second, not 60" % video.get("avg_frame_rate"))
    if video_rate < VIDEO_FLOOR:
        problems.append("the video has %.2f Mbit/s, under 6" % (video_rate / 1e6))
    if sound.get("codec_name") != "aac" or sound_rate < SOUND_FLOOR:
        problems.append("the sound is %s at %d kbit/s, not AAC at 128 or more" % (sound.get("codec_name"), sound_rate // 1000))
    if abs(duration - seconds) > 0.1:
        problems.append("it lasts %.3f s, not %.3f" % (duration, seconds))
    if "moov" not in boxes or "mdat" not in boxes or boxes.index("moov") > boxes.index("mdat"):
        problems.append("its index does not come before the pictures (boxes %s)" % " ".join(boxes))
    print("%s: H.264 %sx%s at %s fps, %.2f Mbit/s; %s %d kbit/s; %.3f s; boxes %s"
          % (path, video.get("width"), video.get("height"), video.get("avg_frame_rate"), video_rate / 1e6,
             sound.get("codec_name"), sound_rate // 1000, duration, " ".join(boxes)))
    for problem in problems:
        print("%s: %s" % (path, problem), file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
