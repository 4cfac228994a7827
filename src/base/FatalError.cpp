#include "base/FatalError.h"

#include <atomic>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <unistd.h>

namespace {
ErrorBox gBox = nullptr;
} // namespace

void setErrorBox(ErrorBox box) {
    gBox = box;
}

void reportError(const char* text) {
    std::string line(text);
    while (!line.empty() && line.back() == '\n') line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    fprintf(stderr, "%s\n", line.c_str());
    fflush(stderr);
    // A box that can't be shown (no memory, no thread for it) leaves the line as the report: an
    // error path must not fail in turn.
    try {
        if (gBox) gBox(text);
    } catch (...) {
    }
}

void fatalError(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    reportError(text);
    endAfterFatalError(1);
}

void endAfterFatalError(int status) {
    exit(status);
}

void endAtOnce(int status) {
    _exit(status);
}

#ifdef _WIN32
void endAfterFatalErrorWithin(int, int status) {
    exit(status);
}
#else
namespace {
volatile std::sig_atomic_t gWatchdogStatus = 1;
void watchdogExpired(int) {
    _exit(gWatchdogStatus);
}
} // namespace

void endAfterFatalErrorWithin(int seconds, int status) {
    gWatchdogStatus = status;
    struct sigaction action {};
    action.sa_handler = watchdogExpired;
    sigaction(SIGALRM, &action, nullptr);
    alarm(static_cast<unsigned>(seconds));
    exit(status);
}
#endif

namespace {
[[noreturn]] void reportTermination() {
    // Should the report itself fail, nothing is left to say.
    static std::atomic<bool> reporting{false};
    if (reporting.exchange(true)) endAtOnce(1);
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::bad_alloc&) {
            fatalError("Out of memory.");
        } catch (const std::exception& error) {
            fatalError("Unexpected error: %s", error.what());
        } catch (...) {
        }
    }
    fatalError("Unexpected error.");
}
} // namespace

void reportUncaughtExceptions() {
    std::set_terminate(reportTermination);
}

std::string wrapText(const std::string& text, size_t columns) {
    std::string wrapped;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (line.size() > columns) {
            size_t blank = line.rfind(' ', columns);
            if (blank == std::string::npos || blank == 0) {
                wrapped += line.substr(0, columns) + "\n";
                line.erase(0, columns);
            } else {
                wrapped += line.substr(0, blank) + "\n";
                line.erase(0, blank + 1);
            }
        }
        wrapped += line;
        if (end == text.size()) break;
        wrapped += "\n";
        start = end + 1;
    }
    return wrapped;
}
