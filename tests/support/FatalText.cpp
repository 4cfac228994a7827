#include "support/FatalText.h"

#include <cstdio>
#include <cstring>

#include "base/FatalError.h"

namespace {
void echoSink(const char* text) {
    fprintf(stderr, "[box]%s[/box]\n", text);
    fflush(stderr);
}
} // namespace

void echoBoxTextOnStderr() {
    setErrorBox(echoSink);
}

std::string literally(const std::string& text) {
    std::string pattern;
    for (char c : text) {
        if (c != '\0' && strchr(".[]{}()\\*+?|^$", c)) pattern += '\\';
        pattern += c;
    }
    return pattern;
}
