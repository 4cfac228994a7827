#include "platform/MessageBox.h"

#include <SDL.h>
#include <cstdio>
#include <string>

namespace {
MessageBoxSink gSink = nullptr;
SDL_Window* gOwner = nullptr;
} // namespace

void setMessageBoxSink(MessageBoxSink sink) {
    gSink = sink;
}
void setMessageBoxOwner(void* window) {
    gOwner = static_cast<SDL_Window*>(window);
}

void showErrorBox(const char* text) {
    // One line on stderr: embedded line breaks become blanks, a trailing one is dropped.
    std::string line(text);
    while (!line.empty() && line.back() == '\n') line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    fprintf(stderr, "%s\n", line.c_str());
    fflush(stderr);
    if (gSink) {
        gSink(text);
        return;
    }
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "Error", text, gOwner);
}
