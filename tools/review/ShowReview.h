#pragma once
// Figures of the show as a viewer sees it, measured on frames the offline renderer writes: how
// bright a frame gets on the beat, and how large and how bright the sequence's subject is against
// the sky. The subject is found by rendering the same moment once more from a copy of the data
// directory whose sky faces and beat emblem are black: what stays above luma 10 is the subject.
// Shared by the review tool, which prints the figures, and the content tests, which hold them.
#include <string>
#include <vector>

struct Image;

// Beats counted while sequence row `row` (0 to 47) is shown whose samples (0.02 s and 0.35 s
// after the beat) still show the row, in order.
std::vector<int> sequenceRowBeats(int row);
constexpr int reviewedSequenceRows = 48;
// Frames are sampled this long after a beat: between beats the pulse (0.3 s) is over; right after
// one the glow and the emblem are at their peak.
constexpr double betweenBeatsDelay = 0.35;
constexpr double afterBeatDelay = 0.02;
// Luma above which a pixel of a blacked-out frame counts as the subject, and at or above which a
// pixel counts as clipped to white.
constexpr int subjectLuma = 10;
constexpr int clippedLuma = 250;

// Makes `root`/data: the files of `dataDir` (linked, not copied) except the six sky faces and the
// emblem, which are written black at their own sizes and formats. False with the reason when a
// file can't be read or written.
bool makeBlackedOutData(const std::string& dataDir, const std::string& root, std::string& reason);

// Runs `buildDir`/render_frames in `workDir` (which holds the data/ to use) for the times and
// returns the written frames' paths in the order asked; empty with the reason when it fails.
std::vector<std::string> renderShowFrames(const std::string& buildDir, const std::string& workDir,
                                          const std::vector<double>& times, const std::string& outDir,
                                          std::string& reason);

struct FrameLight {
    double meanLuma = 0;     // 0 to 255
    double clippedShare = 0; // share of pixels at or above clippedLuma, 0 to 1
};
FrameLight measureFrameLight(const Image& frame);

struct SubjectFigures {
    double heightShare = 0; // rows from the subject's top to its bottom over the frame's rows
    double coverage = 0;    // share of the frame's pixels that are subject
    double subjectLuma = 0; // mean luma of the subject's pixels in the full frame
    double skyLuma = 0;     // mean luma of the other pixels in the full frame
    bool cameraInside() const { return coverage > 0.9; }
    // Subject over sky luma; large when the sky is black.
    double contrast() const { return subjectLuma / (skyLuma > 0.5 ? skyLuma : 0.5); }
};
// `blackedOut` and `full` show the same moment, rendered from the blacked-out and the real data.
SubjectFigures measureSubject(const Image& blackedOut, const Image& full);

// Reads a PNG frame, top row first; false when it can't. The caller frees pixels with delete[].
bool readFrame(const std::string& path, Image& image);
