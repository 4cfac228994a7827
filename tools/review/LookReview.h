#pragma once
// Whether the materials look like their names and the figures fill the frame, measured on the
// frames sampleShow renders: the marble's lightness and colour, the chrome's contrast, the cel
// shading's beat and its edges, and how often the subject is small. review_show prints them.
#include <string>
#include <vector>

#include "review/ShowReview.h"

struct Image;

// What the subject's own pixels (those the blacked-out frame keeps) look like in the full frame.
struct SubjectLook {
    int pixels = 0;              // subject pixels measured
    double meanLuma = 0;         // 0 to 255
    double medianSaturation = 0; // (max - min) / max of a pixel's channels, 0 to 1
    double lumaSpread = 0;       // standard deviation of luma over its mean
    int speckles = 0;            // subject pixels set apart from all eight neighbours (isolatedSpeckles)
};
SubjectLook measureSubjectLook(const Image& blackedOut, const Image& full);

// A pixel whose luma lies more than this many levels below (or above) every one of its eight
// neighbours is a speckle: a band edge or an outline breaking up into single pixels.
constexpr int speckleLevels = 40;
// Speckles of the subject: pixels inside it (they and their eight neighbours are subject) set
// apart from all their neighbours by more than speckleLevels.
int isolatedSpeckles(const Image& blackedOut, const Image& full);

// A frame whose subject covers less than this reads as a small toy in a dark field.
constexpr double tinySubjectCoverage = 0.03;

struct LookFigures {
    // Marble (the figure scene, the metaballs and the sequence's marble rows), between beats: the
    // medians over frames of the subject's mean luma and of its median saturation.
    int marbleFrames = 0;
    double marbleLuma = 0, marbleSaturation = 0;
    // Chrome rows between beats: the median over frames of the subject's luma spread.
    int chromeFrames = 0;
    double chromeSpread = 0;
    // Cel rows: the share of near-white pixels in their beat frames (median and largest), and the
    // speckles of a frame between beats (median and largest).
    int celBeatFrames = 0, celFrames = 0;
    double celBeatNearWhiteMedian = 0, celBeatNearWhiteMost = 0;
    double celSpecklesMedian = 0;
    int celSpecklesMost = 0;
    // Hologram and x-ray rows between beats: the subject's luma spread (a flat silhouette has none).
    int hologramFrames = 0, xrayFrames = 0;
    double hologramSpread = 0, xraySpread = 0;
    // Every frame between beats with its subject measured (all three scenes): the share whose
    // subject covers under tinySubjectCoverage, and the metaballs' median coverage.
    int betweenBeatFrames = 0, sequenceBetweenBeatFrames = 0;
    double tinySubjectShare = 0, sequenceTinySubjectShare = 0; // the latter of the sequence's frames
    double metaballCoverage = 0;
    // Sequence rows whose median coverage is under smallSubjectCoverage.
    int rowsUnderSmall = 0;
};

// Reads the frames sampleShow left in `workDir` (full/ and black/, in the order of `samples`) and
// takes the figures over them. False with the reason when a frame can't be read.
bool reviewLooks(const std::vector<ShowSample>& samples, const std::string& workDir, LookFigures& figures,
                 std::string& reason);
void printLooks(const LookFigures& figures);
