#pragma once
// Reads an exported video back through FFmpeg's decoders, as a player would: its streams, every
// decoded picture's time and brightness, and the sound from time 0.
#include <string>
#include <vector>

struct ProbedVideo {
    std::string error; // empty when the whole file decoded

    int videoStreams = 0, soundStreams = 0;
    std::string videoCodec, soundCodec, pixelFormat; // FFmpeg's names: "h264", "aac", "yuv420p"
    int width = 0, height = 0;                       // pixels
    int soundRate = 0, soundChannels = 0;
    bool indexAtFront = false; // the "moov" box comes before the "mdat" box

    std::vector<double> frameSeconds;          // presentation time of each decoded picture, in order
    std::vector<double> frameLuma;             // its mean luma, 0..255
    std::vector<unsigned char> firstFrameLuma; // width x height, top row first
    std::vector<std::vector<unsigned char>> everyFrameLuma; // each picture so, when asked for
    std::vector<float> sound;                  // mono mix, one sample per sound frame from 0 s
};

ProbedVideo probeVideo(const std::string& path, bool keepEveryFrame = false);
