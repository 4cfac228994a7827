#include "support/XWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/Process.h"

std::vector<XWindowInfo> topLevelWindows(const std::string& display) {
    std::string tree = runCommand({"xwininfo", "-root", "-tree"}, "/", {{"DISPLAY", display}}).output;
    std::vector<XWindowInfo> windows;
    std::istringstream lines(tree);
    std::string line;
    // Children of the root look like: `     0x200006 "Title": ("res" "class")  800x600+0+0  +0+0`
    while (std::getline(lines, line)) {
        size_t start = line.find("0x");
        if (start == std::string::npos || line.find("root window") != std::string::npos) continue;
        XWindowInfo info;
        size_t end = line.find(' ', start);
        info.id = line.substr(start, end - start);
        size_t open = line.find('"', end);
        size_t colon = line.find("\": ", end);
        if (open != std::string::npos && colon != std::string::npos && colon > open)
            info.name = line.substr(open + 1, colon - open - 1);
        size_t geometry = line.find(')', end);
        if (geometry == std::string::npos) geometry = line.find(':', end);
        if (geometry == std::string::npos) continue;
        if (sscanf(line.c_str() + geometry + 1, " %dx%d+%d+%d", &info.width, &info.height, &info.x,
                   &info.y) == 4)
            windows.push_back(info);
    }
    return windows;
}

std::optional<XWindowInfo> waitForWindow(const std::string& display, const std::string& name, int timeoutMs) {
    std::optional<XWindowInfo> found;
    waitUntil(timeoutMs, [&] {
        for (const XWindowInfo& w : topLevelWindows(display))
            if (w.name == name) found = w;
        return found.has_value();
    });
    return found;
}

bool sendKey(const std::string& display, const std::string& windowId, const std::string& key) {
    return runCommand({"xdotool", "key", "--window", windowId, key}, "/", {{"DISPLAY", display}})
               .exitStatus == 0;
}

bool sendCloseRequest(const std::string& display, const std::string& windowId) {
    Display* x = XOpenDisplay(display.c_str());
    if (!x) return false;
    Window window = static_cast<Window>(strtoul(windowId.c_str(), nullptr, 16));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(x, window, False, NoEventMask, &event);
    XSync(x, False);
    XCloseDisplay(x);
    return sent != 0;
}

bool screenSaverOff(const std::string& display) {
    Display* x = XOpenDisplay(display.c_str());
    if (!x) return false;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    bool off = XScreenSaverQueryInfo(x, DefaultRootWindow(x), info) && info->state != ScreenSaverOn;
    XFree(info);
    XCloseDisplay(x);
    return off;
}

bool setScreenSaverTimeout(const std::string& display, int seconds) {
    Display* x = XOpenDisplay(display.c_str());
    if (!x) return false;
    XSetScreenSaver(x, seconds, 0, DontPreferBlanking, AllowExposures);
    XForceScreenSaver(x, ScreenSaverReset);
    XSync(x, False);
    XCloseDisplay(x);
    return true;
}
