#pragma once
// Screenshots of finished frames: the back buffer, read after the frame is complete and before the
// swap, written as numbered PNG files shots/shot0000.png, shot0001.png, ... under the working
// directory. The numbering starts at 0 in every run; the folder is made on the first capture.
#include <string>

// Reads the finished frame's lowest `height` rows, `width` pixels each from the left, into `pixels`
// (RGB, 8 bits per channel, rows packed and bottom-up as GL keeps them).
void readFinishedFrame(int width, int height, unsigned char* pixels);
// Writes the finished frame, at the window's drawable size, as the next numbered shot. True when
// the whole picture was written; otherwise the image writer's message naming the file is on
// standard error, no partial file is left, and the number still advances.
bool captureFrame();
// Writes the finished frame as a PNG at path, top row first. Failures as above.
bool captureFrameTo(const char* path);

// Path of shot number n, relative to the working directory.
std::string shotPath(int shotNumber);
// Number of the next shot.
extern int captureCounter;
