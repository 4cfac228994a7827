// Compares two frames as the golden-frame test does and prints the figures, for scripts that check
// pictures made outside the test executables (the Windows build under Wine).
//
//   compare_frames EXPECTED.png ACTUAL.png
//
// Exit status 0 when they match (at most allowedOutlierShare of the pixels further off than
// frameTolerance in some channel), 1 when they differ, 2 when they can't be compared.
#include <cstdio>

#include "support/FrameCompare.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: compare_frames EXPECTED.png ACTUAL.png\n");
        return 2;
    }
    const FrameDifference difference = compareFrames(argv[1], argv[2], frameTolerance);
    if (!difference.comparable) {
        fprintf(stderr, "%s\n", difference.problem.c_str());
        return 2;
    }
    const double share = static_cast<double>(difference.beyondTolerance) / difference.pixels;
    printf("%d of %d pixels (%.3f %%) differ by more than %d in some channel (%.3f %% allowed); "
           "largest difference %d\n",
           difference.beyondTolerance, difference.pixels, 100 * share, frameTolerance,
           100 * allowedOutlierShare, difference.largestDifference);
    return share <= allowedOutlierShare ? 0 : 1;
}
