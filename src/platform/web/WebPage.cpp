#include "platform/web/WebPage.h"

#include <emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/TimeText.h"

// clang-format off
EM_JS(int, pageStillFlag, (), {
    return new URLSearchParams(location.search).has('still') ? 1 : 0;
});

// The text after "#t=": its size in bytes with the NUL (0 without one), and the text itself.
EM_JS(int, pageTimeFragmentBytes, (), {
    const match = /^#t=(.*)$/s.exec(location.hash);
    return match ? lengthBytesUTF8(match[1]) + 1 : 0;
});

EM_JS(void, pageTimeFragmentCopy, (char* text, int bytes), {
    const match = /^#t=(.*)$/s.exec(location.hash);
    stringToUTF8(match ? match[1] : '', text, bytes);
});

EM_JS(void, pageReadyJs, (), {
    Module.lumorakka.ready();
});

EM_JS(void, pageFrameJs, (double showSeconds), {
    Module.lumorakka.frameDrawn(showSeconds);
});

// The callback travels as its index in the function table.
EM_JS(void, pageEndCardJs, (int playAgain), {
    Module.lumorakka.showEndCard(() => getWasmTableEntry(playAgain)());
});

EM_JS(void, pageStillJs, (double showSeconds, double beatFlash), {
    Module.lumorakka.stillDrawn(showSeconds, beatFlash);
});

EM_JS(void, pageStillPastEndJs, (double showSeconds, double endSeconds), {
    Module.lumorakka.stillPastEnd(showSeconds, endSeconds);
});
// clang-format on

bool pageAsksForStill() {
    return pageStillFlag() != 0;
}

double pageStartSeconds() {
    const int bytes = pageTimeFragmentBytes();
    if (bytes <= 0) return 0;
    std::string text(static_cast<size_t>(bytes), '\0');
    pageTimeFragmentCopy(&text[0], bytes);
    text.resize(static_cast<size_t>(bytes - 1));
    double seconds = 0;
    // Read as the program reads --start and render_frames its times ("5.", "1e3"); digits enough
    // to overflow a double are a time past the end too, not the start.
    if (!parseSeconds(text.c_str(), seconds) || !(seconds > 0)) return 0;
    return seconds;
}

void pageShowReady() {
    pageReadyJs();
}

void pageFrameDrawn(double showSeconds) {
    pageFrameJs(showSeconds);
}

void pageShowEndCard(void (*playAgain)()) {
    pageEndCardJs(static_cast<int>(reinterpret_cast<intptr_t>(playAgain)));
}

void pageStillDrawn(double showSeconds, double beatFlash) {
    pageStillJs(showSeconds, beatFlash);
}

void pageStillPastEnd(double showSeconds, double endSeconds) {
    pageStillPastEndJs(showSeconds, endSeconds);
}
