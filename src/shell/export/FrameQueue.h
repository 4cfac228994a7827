#pragma once
// Frames handed from the thread that draws them to one that writes them (the video encoder), in
// order and a few at a time, so the encoder works on one frame while the next is drawn. The queue
// owns `depth` buffers of one frame each; the drawing side fills the next free one and pushes it,
// and waits only while all of them are queued. Knows nothing of GL or video: it moves bytes.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FrameQueue {
public:
    // Writes frame `index` (0, 1, 2, ... in the order pushed) from `pixels`, on the writer thread.
    // False, with the reason in `error`, stops the queue: no later frame is written.
    using Writer = std::function<bool(long index, const unsigned char* pixels, std::string& error)>;

    // Starts the writer thread, which blocks SIGINT, SIGTERM and SIGHUP so they reach the drawing
    // thread.
    FrameQueue(size_t frameBytes, int depth, Writer writer);
    // As stop().
    ~FrameQueue();
    FrameQueue(const FrameQueue&) = delete;
    FrameQueue& operator=(const FrameQueue&) = delete;

    // The buffer for the next frame (frameBytes long), once one is free; null when the writer has
    // failed or the queue has stopped. Only the drawing thread calls it, then push().
    unsigned char* nextBuffer();
    // Queues the buffer nextBuffer() gave for writing.
    void push();
    // Waits until every pushed frame is written, then ends the writer thread. False with the
    // writer's first error when one failed. Later calls return the same.
    bool finish(std::string& error);
    // Ends the writer thread after the frame it is writing, dropping the frames still queued (for a
    // process that is ending anyway).
    void stop();

    long written() const; // frames the writer has written
    bool failed() const;  // whether the writer has failed

private:
    void run();
    void end(bool dropQueued);

    std::vector<std::vector<unsigned char>> buffers; // frame i goes in buffers[i % depth]
    Writer writer;
    mutable std::mutex mutex;
    std::condition_variable changed;
    long pushed = 0;         // frames pushed
    long done = 0;           // frames written
    bool ending = false;     // no more frames will be pushed
    bool dropQueued = false; // ... and the queued ones are not to be written
    bool writeFailed = false;
    std::string firstError;
    std::thread thread;
};
