#pragma once
// Figures of the show as a viewer sees it, measured on frames the offline renderer writes: how
// bright a frame gets on the beat, and how large and how bright the sequence's subject is against
// the sky. The subject is found by rendering the same moment once more from a copy of the data
// directory whose sky faces and beat emblem are black: what stays above luma 10 is the subject.
// Shared by the review tool, which prints the figures, and the content tests, which hold them.
#include <array>
#include <string>
#include <vector>

#include "base/Vector3.h"

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
// emblem, which are written black at their own sizes and formats, and the sky's material, which
// draws black. False with the reason when a file can't be read or written.
bool makeBlackedOutData(const std::string& dataDir, const std::string& root, std::string& reason);

// Runs `buildDir`/render_frames in `workDir` (which holds the data/ to use) for the times and
// returns the written frames' paths in the order asked; empty with the reason when it fails.
std::vector<std::string> renderShowFrames(const std::string& buildDir, const std::string& workDir,
                                          const std::vector<double>& times, const std::string& outDir,
                                          std::string& reason);

// A pixel every channel of which is above this reads as white, whatever its hue.
constexpr int nearWhiteLevel = 235;
// Rows measured at the bottom edge, and as many just above them, for a seam along the edge.
constexpr int edgeRows = 3;

struct FrameLight {
    double meanLuma = 0;       // 0 to 255
    double clippedShare = 0;   // share of pixels at or above clippedLuma, 0 to 1
    double nearWhiteShare = 0; // share of pixels with every channel above nearWhiteLevel
    double bottomSeam = 0;     // mean luma of the bottom edgeRows rows less that of the rows above
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

// The whole show as a viewer meets it: frames at a fixed step from the start, each measured for
// its light, its colour and its subject, and the figures a viewer remembers taken over them.

// A frame whose mean luma is above this reads as a white flash of the whole screen.
constexpr double whiteoutLuma = 150;
// The subject covers more than this share of the frame: the camera is inside it...
constexpr double insideCoverage = 0.9;
// ...or less than this: nothing to see but sky.
constexpr double emptyCoverage = 0.0005;
// A frame whose pixels are dark violet more than this share is one of the show's one colour.
constexpr double violetDominance = 0.5;
// The beat's pulse lasts 0.3 s from the 60 Hz step that counts the beat: from this long after a
// beat on, the frame holds no glow and no emblem.
constexpr double pulseOverSeconds = 0.32;

// Times from 0 at `stepSeconds` up to the end of the show, and the peak of every beat counted before
// it (`afterBeatDelay` after the beat; with `beatStep` above 1 only every so many, from the first), in
// ascending order as render_frames needs them.
std::vector<double> showSampleTimes(double stepSeconds, bool beatPeaks, int beatStep = 1);
// Seconds since the last beat counted at music time t; a time before the first beat is far from any.
double secondsSinceBeat(double timeSeconds);
bool isBeatPeak(double timeSeconds); // one of the beat-peak times above

// A dark pixel whose hue lies between blue and purple (blue the largest channel, red above green).
bool isDarkViolet(const unsigned char* rgb);
double darkVioletShare(const Image& frame);

// A beat frame whose near-white pixels pass this share is a white frame, not a brighter one.
constexpr double beatWhiteShare = 0.1;
// A bottom edge more than this many levels brighter than the rows above it is a seam.
constexpr double seamLevels = 8;
// A sequence frame whose subject covers less than this share is a small subject.
constexpr double smallSubjectCoverage = 0.05;

struct ShowSample {
    double timeSeconds = 0;
    int scene = 0; // 1 figure, 2 metaballs, 3 sequence
    int row = -1;  // sequence row, or -1
    bool beatPeak = false;
    bool betweenBeats = false; // the pulse is over
    std::string material;      // the material the subject is drawn with
    FrameLight light;
    double violetShare = 0;
    bool measuredSubject = false; // beat peaks are measured for their light alone
    SubjectFigures subject;
    bool insideOrEmpty() const {
        return measuredSubject && (subject.coverage > insideCoverage || subject.coverage < emptyCoverage);
    }
};

// Renders the times in `workDir`'s scratch folders with `buildDir`'s render_frames and data (a
// beat peak only from the real data, every other time also blacked out) and measures every frame.
// False with the reason when rendering or reading fails. `progress`, when given, hears each step.
bool sampleShow(const std::string& buildDir, const std::string& workDir, const std::vector<double>& times,
                std::vector<ShowSample>& samples, std::string& reason,
                void (*progress)(const char*) = nullptr);

double medianOf(std::vector<double> values);

// Times at `rate` frames a second over the figure scene and the sequence at which the eye comes
// within `clearance` model units of the figure it orbits, or inside it: the frames a close pass
// may fill. The figures are read from `buildDir`/data. Empty with the reason when one can't be.
std::vector<double> closePassTimes(const std::string& buildDir, double rate, float clearance,
                                   std::string& reason);

// A figure's triangles, model units.
using FigureTriangle = std::array<Vec3d, 3>;
// The share of the frame that a figure drawn `size` times its model's size covers, seen from `eye`
// through the sequence's camera (looking at the origin, 90 degrees high, 4:3, the model's +Z up),
// drawn into a coarse mask. Triangles reaching behind the near plane are left out: a fit looks at
// frames whose eye is clear of the figure.
double figureCoverage(const std::vector<FigureTriangle>& triangles, const Vec3& eye, float size);

// Each sequence row's figure size (see sequenceFigureSize): the smallest, in twentieths of the
// model's size from 1 up to largestFigureSize, at which the figure, grown by the eye's distance as
// the show grows it, covers fittedFigureCoverage of the row's median frame between beats, or the
// largest at which every frame of the row at `rate` frames a second keeps the eye more than
// `clearance` eye units outside it, whichever is smaller. The
// figures are read from `buildDir`/data. Empty with the reason when one can't be.
constexpr double fittedFigureCoverage = 0.06;
constexpr double largestFigureSize = 3;
std::vector<float> fitFigureSizes(const std::string& buildDir, double rate, float clearance,
                                  std::string& reason);

// The figures over a set of samples.
struct ShowFigures {
    int frames = 0;           // on the step grid (beat peaks apart)
    double whiteoutShare = 0; // of those, mean luma above whiteoutLuma
    double brightestLuma = 0; // over every frame, beat peaks included
    double brightestTime = 0;
    int beatPeaks = 0;
    double beatPeakMedianLuma = 0;
    double beatPeakWhiteoutShare = 0;
    double beatPeakBrightestLuma = 0;
    double beatPeakBrightestTime = 0;
    double beatWhiteFrameShare = 0; // of the beat peaks, over beatWhiteShare of the pixels near white
    double beatSeamShare = 0;       // of the beat peaks, a bottom edge over seamLevels brighter
    double worstSeam = 0;           // over every frame
    double worstSeamTime = 0;
    int sequenceFrames = 0;
    double insideOrEmptyShare = 0;  // of the sequence's frames
    double subjectHeightMedian = 0; // of the sequence's frames, share of the frame's rows
    double subjectCoverageMedian = 0;
    double smallSubjectShare = 0; // of the sequence's frames, under smallSubjectCoverage
    int betweenBeatFrames = 0;
    double violetDominatedShare = 0;   // of the frames between beats
    double betweenBeatsBrightness = 0; // median mean luma between beats, 0 to 1
    double betweenBeatsContrast = 0;   // median subject over sky luma between beats
    double lowContrastShare = 0;       // between beats, subject under 1.5 x the sky
    std::vector<double> rowCoverage;   // median per sequence row; a row without frames has -1
};
ShowFigures showFigures(const std::vector<ShowSample>& samples);
