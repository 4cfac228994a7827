#pragma once
// Error message boxes: caption "Error", warning icon, owned by the demo window when there is one.
// Every text is also written as one line on standard error, since a box alone is invisible from
// a terminal. Tests swap the box for a sink that never blocks.

// Writes the line to standard error, then shows the box (or hands the text to the sink).
void showErrorBox(const char* text);

using MessageBoxSink = void (*)(const char* text);
// Replaces the box; null restores it.
void setMessageBoxSink(MessageBoxSink sink);

// The window that owns later boxes (an SDL_Window*, kept opaque above the platform layer).
void setMessageBoxOwner(void* window);
