#pragma once
// Finished frames read back a frame late, through two pixel buffer objects: the read of a frame is
// started once it is drawn and collected after the next one is drawn, so a GL that copies into the
// buffer on its own keeps drawing meanwhile. (Mesa's software rasteriser copies at the start,
// when the frame is done, which costs no more than reading it directly.) The pixels are the ones
// readFinishedFrame gives: width x height RGB, rows packed and bottom-up.

class FrameReadback {
public:
    // Makes the two buffers in the current context, for frames of width x height pixels.
    FrameReadback(int width, int height);
    // Deletes them; reads not collected are dropped.
    ~FrameReadback();
    FrameReadback(const FrameReadback&) = delete;
    FrameReadback& operator=(const FrameReadback&) = delete;

    // Starts reading the finished frame in the back buffer (before the swap). At most two reads
    // are outstanding: collect one before starting a third.
    void start();
    // Reads started and not yet collected: 0, 1 or 2.
    int pending() const { return started - collected; }
    // Copies the oldest outstanding read into `pixels` (width x height x 3 bytes).
    void collect(unsigned char* pixels);

private:
    int width, height;                // of a frame, pixels
    unsigned int buffers[2] = {0, 0}; // GL pixel pack buffers; frame n uses buffers[n % 2]
    long started = 0, collected = 0;
};
