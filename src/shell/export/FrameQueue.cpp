#include "shell/export/FrameQueue.h"

#include <csignal>
#include <utility>

#ifndef _WIN32
#include <pthread.h>
#endif

FrameQueue::FrameQueue(size_t frameBytes, int depth, Writer writer)
    : buffers(depth < 1 ? 1 : depth, std::vector<unsigned char>(frameBytes)), writer(std::move(writer)) {
    thread = std::thread([this] { run(); });
}

FrameQueue::~FrameQueue() {
    stop();
}

unsigned char* FrameQueue::nextBuffer() {
    std::unique_lock<std::mutex> lock(mutex);
    const long depth = static_cast<long>(buffers.size());
    changed.wait(lock, [&] { return writeFailed || ending || pushed - done < depth; });
    if (writeFailed || ending) return nullptr;
    return buffers[pushed % depth].data();
}

void FrameQueue::push() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (writeFailed || ending) return;
        ++pushed;
    }
    changed.notify_all();
}

bool FrameQueue::finish(std::string& error) {
    end(false);
    const std::lock_guard<std::mutex> lock(mutex);
    if (writeFailed) error = firstError;
    return !writeFailed;
}

void FrameQueue::stop() {
    end(true);
}

long FrameQueue::written() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return done;
}

bool FrameQueue::failed() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return writeFailed;
}

void FrameQueue::end(bool drop) {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ending = true;
        if (drop) dropQueued = true;
    }
    changed.notify_all();
    if (thread.joinable()) thread.join();
}

void FrameQueue::run() {
#ifndef _WIN32
    // A Ctrl-C is the drawing thread's to notice; here it would only interrupt a write.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
#endif
    const long depth = static_cast<long>(buffers.size());
    for (;;) {
        long index;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return done < pushed || ending; });
            if (dropQueued || done == pushed) return;
            index = done;
        }
        // The drawing side leaves this buffer alone until `done` passes it.
        std::string error;
        const bool ok = writer(index, buffers[index % depth].data(), error);
        {
            const std::lock_guard<std::mutex> lock(mutex);
            if (ok) {
                ++done;
            } else {
                writeFailed = true;
                firstError = error;
            }
        }
        changed.notify_all();
        if (!ok) return;
    }
}
