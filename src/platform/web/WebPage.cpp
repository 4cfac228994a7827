#include "platform/web/WebPage.h"

#include <emscripten.h>

#include <cstdint>
#include <cstdlib>

// clang-format off
EM_JS(int, pageStillFlag, (), {
    return new URLSearchParams(location.search).has('still') ? 1 : 0;
});

EM_JS(double, pageTimeFragment, (), {
    const match = /^#t=([0-9]*[.]?[0-9]+)$/.exec(location.hash);
    return match ? parseFloat(match[1]) : 0;
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
    const double seconds = pageTimeFragment();
    // Digits enough to overflow a double are a time past the end too, not the start.
    return seconds > 0 ? seconds : 0;
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
