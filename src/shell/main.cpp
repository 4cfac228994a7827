// Entry point. The start-up sequence lives in the shell modules; this only hands over to it.
#include <cstdio>
#include <string>

#include <GL/glew.h>

#include "platform/Window.h"

int main() {
    std::string reason;
    WindowRequest request;
    request.title = "Lumorakka by Vorkasta";
    if (!initVideo(reason) || !createWindow(request, reason)) {
        fprintf(stderr, "%s\n", reason.c_str());
        return 255;
    }
    return 0;
}
