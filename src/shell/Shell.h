#pragma once
// The demo's process-wide shell state and the steps the entry point runs: the init sequence, one
// frame, the key actions and the window-size projection.

struct FSOUND_STREAM;

// The music stream the demo clock reads; null when the music could not be opened (time stays 0).
// An offline renderer swaps in a caller-clock stream here.
extern FSOUND_STREAM* musicStream;

// Set by F11: the next finished frame is to be captured. The capture clears it.
extern bool captureRequested;

// GLEW, the GLSL check, the demo context, projection, GL state and the letterbox viewport.
// Needs a current GL context; fatal when GLEW or GLSL is missing.
void initDemo();

// The start-up view: a 90-degree 4:3 perspective (near 0.1, far 1000), an identity model-view
// matrix selected, and the 4:3 letterbox viewport of the 800 by 600 window.
void loadDemoView();

// One frame into the back buffer (the caller swaps): clock, drawing, beat detection.
void renderFrame();

// The key actions, by virtual-key code; other codes do nothing. Escape exits with status 0.
void handleKey(int virtualKey);

// Viewport (0, 0, width, height) and a 90-degree perspective for that size (near 1, far 1000);
// leaves an identity model-view matrix selected.
void resizeView(int width, int height);
