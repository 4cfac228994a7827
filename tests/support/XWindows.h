#pragma once
// Looking at an X display from outside, as a person would: the top-level windows with their names
// and geometry (from `xwininfo -root -tree`, which also lists the override-redirect windows of
// message boxes that `xdotool search` misses), keys sent with xdotool, and a window manager's
// close request.
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct XWindowInfo {
    std::string id;   // "0x200006"
    std::string name; // empty for unnamed windows
    int width = 0, height = 0, x = 0, y = 0;
};

std::vector<XWindowInfo> topLevelWindows(const std::string& display);
// The first top-level window with this name, waiting up to `timeoutMs` for it to appear.
std::optional<XWindowInfo> waitForWindow(const std::string& display, const std::string& name, int timeoutMs);
// `xdotool key --window ID key`; true when xdotool succeeded.
bool sendKey(const std::string& display, const std::string& windowId, const std::string& key);
// Sends WM_DELETE_WINDOW in a WM_PROTOCOLS client message, as a window manager's close button does.
bool sendCloseRequest(const std::string& display, const std::string& windowId);
// True when the server's screen saver has not come on (checked through the screen saver extension).
bool screenSaverOff(const std::string& display);
// Sets the server's screen saver to start after `seconds` of idleness, counted from now.
bool setScreenSaverTimeout(const std::string& display, int seconds);
// The size of the display's screen 0 now, pixels; nothing when the display can't be opened.
std::optional<std::pair<int, int>> screenSize(const std::string& display);
