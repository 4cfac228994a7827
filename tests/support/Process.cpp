#include "support/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {
// A new empty file under the temporary folder, named ...XXXXXX.<tag>; the caller removes it.
std::string tempPath(const char* tag) {
    std::string path =
        (std::filesystem::temp_directory_path() / "lumorakka-test-XXXXXX").string() + "." + tag;
    int fd = mkstemps(path.data(), static_cast<int>(strlen(tag)) + 1);
    if (fd >= 0) close(fd);
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<char*> cStrings(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// The exit status, or -signal; nothing while the child runs on after `timeoutMs`.
std::optional<int> reap(pid_t pid, int timeoutMs) {
    std::optional<int> result;
    waitUntil(timeoutMs, [&] {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) result = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return done == pid || done < 0;
    });
    return result;
}
} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
                           const std::map<std::string, std::string>& environment)
    : outPath_(tempPath("out")), errPath_(tempPath("err")) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        size_t eq = entry.find('=');
        if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (auto& [name, value] : environment) {
        if (value.empty())
            merged.erase(name);
        else
            merged[name] = value;
    }
    std::vector<std::string> envStrings, args(argv);
    for (auto& [name, value] : merged) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp = cStrings(envStrings), args0 = cStrings(args);

    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (chdir(workingDirectory.c_str()) != 0) _exit(126);
        execve(args0[0], args0.data(), envp.data());
        _exit(127);
    }
    if (pid_ > 0) setpgid(pid_, pid_); // no race with the child's own call
}

ChildProcess::~ChildProcess() {
    killGroup();
    unlink(outPath_.c_str());
    unlink(errPath_.c_str());
}

std::optional<int> ChildProcess::waitExit(int timeoutMs) {
    if (!reaped_ && pid_ > 0) {
        std::optional<int> status = reap(pid_, timeoutMs);
        if (!status) return std::nullopt;
        reaped_ = true;
        status_ = *status;
    }
    if (!reaped_) return std::nullopt;
    return status_;
}

bool ChildProcess::running() {
    return !waitExit(0).has_value() && pid_ > 0;
}

void ChildProcess::signal(int number) {
    if (pid_ > 0 && !reaped_) kill(pid_, number);
}

void ChildProcess::killGroup() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGKILL); // the group outlives its leader when the leader forked (message boxes)
    if (!reaped_) {
        std::optional<int> status = reap(pid_, 5000);
        reaped_ = true;
        status_ = status.value_or(-SIGKILL);
    }
}

std::string ChildProcess::standardOutput() const {
    return readFile(outPath_);
}
std::string ChildProcess::standardError() const {
    return readFile(errPath_);
}

CommandResult runCommand(const std::vector<std::string>& argv, const std::string& workingDirectory,
                         const std::map<std::string, std::string>& environment, int timeoutMs) {
    std::vector<std::string> resolved(argv);
    if (!resolved.empty() && resolved[0].find('/') == std::string::npos)
        resolved[0] = "/usr/bin/" + resolved[0];
    ChildProcess child(resolved, workingDirectory, environment);
    CommandResult result;
    result.exitStatus = child.waitExit(timeoutMs).value_or(-1);
    result.output = child.standardOutput();
    result.errors = child.standardError();
    return result;
}

XvfbServer::XvfbServer(int width, int height, int depth) {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    std::string fd = std::to_string(fds[1]);
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        close(fds[0]);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
              "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    setpgid(pid_, pid_);
    // Xvfb writes its display number and a newline once it accepts clients.
    std::string number;
    waitUntil(15000, [&] {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) return false;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0) return true;
        if (c == '\n') return true;
        number += c;
        return false;
    });
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        reap(pid_, 5000);
    }
}
