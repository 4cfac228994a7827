#pragma once
// What the browser build's host (shell/web/WebMain.cpp) asks of the page around the canvas. The page
// (index.html) defines the JavaScript side: Module.lumorakka.
#include <string>

// The query and fragment of the page's address: `?still` and `#t=SECONDS`.
bool pageAsksForStill();
// The show time the address names (#t=SECONDS, read as the program reads its times: "5.", "1e3"),
// 0 when it names none or something else; it may
// be far past the end of the show, or infinite.
double pageStartSeconds();

// Loading is over: the page shows "click to start" until sound may play, or goes straight on.
void pageShowReady();
// One frame drawn at that show time (the page's frame-rate readout counts these).
void pageFrameDrawn(double showSeconds);
// The end card with "play again"; the callback runs when the viewer asks for it.
void pageShowEndCard(void (*playAgain)());
// A still is on the canvas: the page sets its title to "ready ..." once the frame is shown.
void pageStillDrawn(double showSeconds, double beatFlash);
// A still was asked for at or past the end of the show: nothing is drawn, the page says so in its
// title ("ended: ...") and shows the end card.
void pageStillPastEnd(double showSeconds, double endSeconds);
// True once an error has been shown: the host stops drawing.
bool pageHasFailed();

// The window layer draws the loading screens while the program loads; from the first frame of
// the show on the browser presents each animation frame itself and swapWindow does nothing.
void setFramesPresentedByBrowser(bool presented);
