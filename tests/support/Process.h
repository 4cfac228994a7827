#pragma once
// Child processes for end-to-end tests. Every child runs in its own process group and is killed
// with SIGKILL, group and all, when its handle goes away: SDL turns SIGTERM into a quit event that
// a message box never reads, so nothing gentler is sure to end it. Every wait has a timeout.
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts `argv` in `workingDirectory` with the current environment changed by `environment`
    // (an empty value removes the variable). Standard output and error go to files read on demand.
    ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
                 const std::map<std::string, std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit status once the process has ended within `timeoutMs`; nothing when it is still
    // running (it is left running) or died from a signal (then -signal is returned).
    std::optional<int> waitExit(int timeoutMs);
    bool running();
    void signal(int number);
    void killGroup();
    std::string standardOutput() const;
    std::string standardError() const;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::string outPath_, errPath_;
};

struct CommandResult {
    int exitStatus = -1; // -signal when a signal ended it, -1 also when it ran past the timeout
    std::string output;  // standard output
    std::string errors;  // standard error
};

// Runs a command to completion in `workingDirectory` (killed after `timeoutMs`). A program named
// without a folder is taken from /usr/bin.
CommandResult runCommand(const std::vector<std::string>& argv, const std::string& workingDirectory = "/",
                         const std::map<std::string, std::string>& environment = {}, int timeoutMs = 10000);

// An Xvfb server of its own (-displayfd picks a free display number), killed on destruction.
class XvfbServer {
public:
    XvfbServer(int width, int height, int depth = 24);
    ~XvfbServer();
    // ":N", or empty when the server did not come up.
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Calls `poll` every 50 ms until it returns true or `timeoutMs` have passed.
template <class Poll> bool waitUntil(int timeoutMs, Poll poll);

#include <chrono>
#include <thread>
template <class Poll> bool waitUntil(int timeoutMs, Poll poll) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (poll()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
