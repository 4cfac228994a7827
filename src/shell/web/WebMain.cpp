// The browser's program: start-up behind the loading screens, then one frame step per animation
// frame at the music's position, until the show is over and the page shows its end card. With
// `?still` on the address it draws the one frame at `#t` as the offline renderer does, and stops.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>

#include "clock/MusicTime.h"
#include "demo/Timeline.h"
#include "platform/Window.h"
#include "platform/web/WebPage.h"
#include "shell/OfflineClock.h"
#include "shell/Shell.h"

namespace {

// The offline renderer's beat-tracking rate, so a still shows the flash it shows.
constexpr double stillBeatTrackingRate = 60.0; // Hz

// The show's time: the music being heard through Web Audio.
MusicTime music;

void keyPressed(int virtualKey) {
    // Escape leaves full screen, which the browser does by itself; a page has nothing to quit.
    if (virtualKey == keyEscape) return;
    handleKey(virtualKey, music);
}

void playAgain();

EM_BOOL showFrame(double, void*) {
    if (pageHasFailed()) return EM_FALSE;
    WindowEvents events;
    events.key = keyPressed;
    pumpEvents(events);
    // At the canvas's size as it is now: the page sizes it to where it is shown.
    const bool over = renderFrame(music, windowView());
    if (over) {
        pageShowEndCard(playAgain);
        return EM_FALSE;
    }
    pageFrameDrawn(shownFrame.timeSeconds);
    return EM_TRUE;
}

void playAgain() {
    // Keys pressed while the end card showed were meant for no show: they are dropped unread.
    pumpEvents(WindowEvents());
    beginShow();
    // A show may end paused (a seek past the end while paused); the new one plays.
    music.startOver();
    emscripten_request_animation_frame_loop(showFrame, nullptr);
}

EM_BOOL stillShown(double, void*) {
    pageStillDrawn(shownFrame.timeSeconds, shownFrame.beatFlash);
    return EM_FALSE;
}

} // namespace

// The show's clock as the next frame would read it, for the page and its checks.
extern "C" EMSCRIPTEN_KEEPALIVE double lumorakkaShowClock() {
    return showSecondsFromMs(music.positionMs());
}

int main() {
    const bool still = pageAsksForStill();
    const double startSeconds = pageStartSeconds();
    ShowOptions options;
    options.fullScreen = false;
    if (!still) options.music = &music;
    const FrameView view = startShow(options);
    if (pageHasFailed()) return 1;
    setFramesPresentedByBrowser(true);

    // Every time at or past the end is the end, however far past it the address points: the first
    // frame finds the show over and the page shows its end card.
    const double showSeconds = std::min(startSeconds, showEndSeconds);
    if (still) {
        OfflineClock clock(stillBeatTrackingRate);
        clock.advanceTo(showSeconds);
        if (renderFrame(clock, view)) {
            pageStillPastEnd(startSeconds, showEndSeconds);
            return 0;
        }
        // The title changes once the browser has shown the frame.
        emscripten_request_animation_frame_loop(stillShown, nullptr);
        return 0;
    }
    if (showSeconds > 0) music.seekTo(static_cast<float>(showSeconds));
    pageShowReady();
    emscripten_request_animation_frame_loop(showFrame, nullptr);
    return 0;
}
