#pragma once
// The show's steps for whichever host runs it: start-up (window, GL, loading and the music, in one
// call), the start of a show, one frame, the key actions and the window-size projection. A host owns
// its loop and its time source (clock/TimeSource.h): it starts up once, begins a show, and calls
// renderFrame once per frame with its source until renderFrame says the show is over. The
// program's own loop (desktop/main.cpp) and the page (web/WebMain.cpp) on the music, the video
// export, the offline renderer, the review tools, the benches and the GL tests on an offline clock.

#include "demo/FrameView.h"

class MusicTime;
class TimeSource;

// The show's music, relative to the working directory as every file of the show is: what startShow
// plays and the video export puts under the pictures.
constexpr const char* showMusicPath = "data/noisebiisi.ogg";

struct ShowOptions {
    const char* title = "Lumorakka by Vorkasta";
    // Draw without showing the window (offline rendering, tests, benches). Errors then go to
    // standard error only: no message box waits for a viewer who isn't there.
    bool hidden = false;
    bool fullScreen = true; // ask the display for 800 x 600 first (see platform/Window.h)
    // Full screen at the display's own mode instead, no switch: the picture at 4:3 in the middle.
    bool desktop = false;
    // The window's or the off-screen surface's size, pixels (full screen takes the display's).
    int width = 800, height = 600;
    // The picture takes the whole surface, whatever its shape (the video export's 4:3 area, whose
    // edges are made even); otherwise it is the largest 4:3 area in the middle.
    bool pictureFillsSurface = false;
    // Load the show behind the loading screen (initDemo). Without it: the bare context with GLEW
    // loaded, for tests that build their own scene.
    bool loadShow = true;
    // The music to open and start once loading is over, so that show time 0 is the start of the
    // track: the host's time source. Null: no music at all (the host keeps time with an offline
    // clock).
    MusicTime* music = nullptr;

    // A hidden window without music: offline rendering, review tools, benches, tests.
    static ShowOptions headless(const char* title) {
        ShowOptions options;
        options.title = title;
        options.hidden = true;
        options.fullScreen = false;
        return options;
    }
};

// Everything before the first frame: the error box (for a shown window), video, the window and
// its context, GL (GLEW, or the GL route started over the host's GL ES 3), the window-size view,
// the show's loading (or nothing more), then the music. A window
// that can't be made is reported ("Cannot start video: ..." or "Cannot create the window: ..." on
// standard error, then the boxes) and ends the process with status 255, or 1 for a hidden window.
// A hidden window without an X display is an off-screen context (platform/Window.h). For a shown
// window, SIGTERM or SIGINT on the way (after each loading screen, after the music's open) ends the
// program there with 143 or 130. Returns the view the show was loaded for: a shown window's picture
// as windowView gives it; a hidden window's picture, too large for the GL's render targets, is
// fatal before anything is loaded ("Cannot draw the show at WxH: ..."), status 1.
FrameView startShow(const ShowOptions& options);

// The view of the window's drawable as it is now: its largest 4:3 picture in the middle, made
// smaller when the GL can't make render targets that large for it. Hosts whose window can change
// size take it for every frame.
FrameView windowView();

// Puts everything one show leaves behind back to its start: the beat clock, the capture request and
// the record of the shown frame. Start-up ends with it; a host calls it again to play the show
// again (its time source back at the start too), and the second show draws the same frames as the
// first.
void beginShow();

// The demo context, projection, GL state, the picture's viewport, then the show's content behind
// the loading screen, its render targets sized for the view. Needs the GL that startShow loads.
void initDemo(const FrameView& view = FrameView());

// The start-up view: a 90-degree 4:3 perspective (near 0.1, far 1000), an identity model-view
// matrix selected, and the viewport of the view's picture, (0, 0, 800, 600) in an 800 by 600 window.
void loadDemoView(const FrameView& view = FrameView());

// The frame step. Tracks the beats of the frames the source says a viewer saw since the last one,
// then draws the frame at the source's time into the back buffer (the caller swaps), puts the GL
// state a frame may leave behind back, tracks the beat, and captures the frame when one was asked
// for, reported on standard output as one line, "shots/shot0000.png: show time 5.234 s, beat
// flash 0.00". Returns true, having shown nothing, once the show is over (206 s); the host decides
// what comes next. The frame is drawn at the view's picture, its bars black; the render targets are
// made again when the view needs other sizes than the last frame's.
bool renderFrame(TimeSource& time, const FrameView& view = FrameView());

// What the last frame drawn by renderFrame showed. The flash depends on when earlier frames counted
// the beat, so two runs at different frame rates draw the same picture at a time only without it.
struct ShownFrame {
    float timeSeconds = 0; // show time the frame was drawn at
    float beatFlash = 0;   // brightness of the beat overlay, 0 to 1
};
extern ShownFrame shownFrame;

// The key actions, by virtual-key code, seeking and pausing through the host's time source; other
// codes do nothing. Returns true for Escape, which asks the host to end the show.
bool handleKey(int virtualKey, TimeSource& time);
// F11: the next finished frame is captured.
void requestCapture();

// Viewport (0, 0, width, height) and a 90-degree perspective for that size (near 1, far 1000);
// leaves an identity model-view matrix selected.
void resizeView(int width, int height);
