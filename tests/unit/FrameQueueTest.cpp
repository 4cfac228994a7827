// The hand-off from the drawing thread to the encoder's: every frame written once, in order, with
// the bytes it was pushed with, however the two threads' speeds differ; a failed write stops it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "shell/export/FrameQueue.h"

namespace {

constexpr size_t frameBytes = 4096;

unsigned char byteOf(long frame, size_t at) {
    return static_cast<unsigned char>(frame * 31 + at * 7);
}

} // namespace

// A writer slower than the drawing side makes it wait for free buffers; a faster one waits for
// frames. Either way the writer sees frames 0, 1, 2, ... each whole, none overwritten while it
// reads it, and finish() returns once the last is written.
TEST(FrameQueue, WritesEveryFrameOnceInOrderWithItsOwnBytes) {
    for (int writerDelayMs : {0, 3}) {
        SCOPED_TRACE("writer delay " + std::to_string(writerDelayMs) + " ms");
        std::vector<long> order;
        long damaged = 0;
        FrameQueue queue(frameBytes, 3, [&](long index, const unsigned char* pixels, std::string&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(writerDelayMs));
            order.push_back(index);
            for (size_t at = 0; at < frameBytes; ++at)
                if (pixels[at] != byteOf(index, at)) ++damaged;
            return true;
        });
        const long frames = 40;
        for (long frame = 0; frame < frames; ++frame) {
            unsigned char* buffer = queue.nextBuffer();
            ASSERT_NE(buffer, nullptr);
            for (size_t at = 0; at < frameBytes; ++at) buffer[at] = byteOf(frame, at);
            queue.push();
        }
        std::string error;
        EXPECT_TRUE(queue.finish(error)) << error;
        EXPECT_EQ(queue.written(), frames);
        ASSERT_EQ(order.size(), static_cast<size_t>(frames));
        for (long frame = 0; frame < frames; ++frame) EXPECT_EQ(order[frame], frame);
        EXPECT_EQ(damaged, 0);
    }
}

// A full disk: the write that fails stops the queue, the drawing side is told (no buffer, failed())
// instead of waiting for ever, and finish() hands over the writer's own message.
TEST(FrameQueue, FailedWriteStopsTheQueueAndFinishReportsIt) {
    FrameQueue queue(frameBytes, 2, [](long index, const unsigned char*, std::string& error) {
        if (index < 2) return true;
        error = "Cannot write the video out.mp4: No space left on device";
        return false;
    });
    long pushed = 0;
    while (unsigned char* buffer = queue.nextBuffer()) {
        buffer[0] = 1;
        queue.push();
        ASSERT_LT(++pushed, 1000) << "the queue never stopped";
    }
    EXPECT_TRUE(queue.failed());
    std::string error;
    EXPECT_FALSE(queue.finish(error));
    EXPECT_EQ(error, "Cannot write the video out.mp4: No space left on device");
    EXPECT_EQ(queue.written(), 2);
}

// A process ending on a fatal error stops the writer without writing what is still queued.
TEST(FrameQueue, StopDropsQueuedFrames) {
    std::vector<long> written;
    FrameQueue queue(frameBytes, 4, [&](long index, const unsigned char*, std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        written.push_back(index);
        return true;
    });
    for (int frame = 0; frame < 4; ++frame) {
        ASSERT_NE(queue.nextBuffer(), nullptr);
        queue.push();
    }
    queue.stop();
    EXPECT_LT(written.size(), 4u);
    EXPECT_EQ(queue.nextBuffer(), nullptr);
    std::string error;
    EXPECT_TRUE(queue.finish(error));
}
