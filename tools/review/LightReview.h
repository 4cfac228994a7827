#pragma once
// Where the light of the show falls: the central ellipse the subject stands in against the rest of
// the frame, between beats and in what a beat adds; how much of the emblem's own light lands in
// that ellipse; the sun and moon discs against the glow round them; and the middle of the frame in
// the show's last seconds. Measured on frames render_frames writes and on the pictures in data/.
#include <string>
#include <vector>

struct Image;

// The ellipse centred in the frame, of the frame's own proportions, that covers this share of it:
// where the subject stands. Its half-axes are sqrt(share / pi) of the frame's width and height.
constexpr double centralEllipseShare = 0.28;
bool inCentralEllipse(int x, int y, int width, int height);

// A frame between beats, measured against the same moment with the sky and emblem black (see
// makeBlackedOutData): lumas 0 to 255.
struct LightLayout {
    double skyOutsideMedian = -1; // median luma of the sky outside the ellipse; -1 when none shows
    double skyOutsideMean = -1;   // and its mean, which its bright bands raise
    double ellipseMean = 0;       // mean luma inside the ellipse, subject and sky alike
    double restMean = 0;          // mean luma of the rest of the frame
    double frameMean = 0;
    double subjectLuma = 0;       // mean luma of the subject, and of everything else
    double skyLuma = 0;
    bool hasSubject = false;
    double ellipseOverRest() const { return ellipseMean / (restMean > 0.5 ? restMean : 0.5); }
    double subjectOverSky() const { return subjectLuma / (skyLuma > 0.5 ? skyLuma : 0.5); }
};
LightLayout measureLightLayout(const Image& blackedOut, const Image& full);

// The luma that `after` holds over `before` (the same view just before and just after a beat),
// summed inside the central ellipse and over the whole frame.
struct AddedLight {
    double inside = 0;
    double total = 0;
};
AddedLight measureAddedLight(const Image& before, const Image& after);

// The share of a picture's light (the sum of its lumas) that falls in the central ellipse when
// the picture is stretched over the whole frame, as the beat's emblem is.
double centralShareOfPicture(const Image& picture);

// Median luma of the middle fifth of the frame (the middle fifth of its width and of its height).
double middleMedianLuma(const Image& frame);

// Mean luma (as the sky shows it: the faces hold the square root of the colour) of the cube
// faces `dataDir`/<name>_c00.._c05 inside a disc of angular radius `radius` about `direction`
// (x, y, z, +z up), and of the ring from 1.25 to 2 radii round it. False with the reason when a
// face can't be read.
struct DiscLight {
    double disc = 0;
    double ring = 0;
};
bool measureSkyDisc(const std::string& dataDir, const std::string& name, const float direction[3],
                    float radius, DiscLight& light, std::string& reason);

// The figures over the show.
struct LightFigures {
    int beats = 0;                    // sampled: 0.04 s before, 0.02 s and 0.35 s after each
    double skyOutsideMedian = 0;      // median over those frames of skyOutsideMedian
    double skyOutsideMean = 0;        // and of skyOutsideMean
    double ellipseOverRestMedian = 0; // median of ellipseMean over restMean
    double brightnessMedian = 0;      // median of frameMean / 255
    double subjectOverSkyShare = 0;   // frames with a subject whose subject luma is at least 1.5 x the sky's
    double beatAddedInsideShare = 0;    // of the light all beats add (0.02 s after against 0.04 s before)
    double sequenceAddedInsideShare = 0; // the same over the sequence's beats
    double beatAddedMean = 0;           // mean luma a beat adds to a frame of the sequence
    double emblemInsideShare = 0;
    DiscLight sun, moon;
    int endingFrames = 0;
    double endingMiddleMedian = 0; // median over the ending's frames of middleMedianLuma
    double endingMiddleLowest = 0;
    double endingMiddleLowestTime = 0;
};

// Renders, with `buildDir`'s render_frames and data, 0.04 s before, 0.02 s after and 0.35 s after
// every `beatStep`-th beat (the last also blacked out, in `workDir`), and the last seconds of the
// show every 0.1 s; reads the emblem and the sky faces; and measures the figures above. False with
// the reason when rendering or reading fails.
bool reviewLight(const std::string& buildDir, const std::string& workDir, int beatStep, LightFigures& figures,
                 std::string& reason, void (*progress)(const char*) = nullptr);
void printLightFigures(const LightFigures& figures);
