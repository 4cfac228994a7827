#pragma once
// The demo's one global object: the clock read from the music stream, beat detection and the beat
// pulse, seeking, pausing and tapping, and two tables filled while loading. Some of its operations
// belong with the subsystem whose work they do; each line below names the file that implements it.
#include <map>

#include "base/GrowArray.h"

struct SceneModel;

class DemoContext {
public:
    DemoContext() = default;
    DemoContext(const DemoContext&) = delete;
    DemoContext& operator=(const DemoContext&) = delete;
    // Empties both tables and frees the scene models. geometry/SceneModel.cpp
    ~DemoContext();

    // Start-up: beat count 0, latch and pause cleared, then createRenderTextures. Needs GL.
    // clock/DemoContext.cpp
    void init();
    // Ten empty 1024 x 768 RGBA textures "rt0", "rt1", "rtt2" .. "rtt8", "rt9" in the texture
    // registry, made with its state at the time. demo/Content.cpp
    void createRenderTextures();

    // time := the music stream's position (platform/Sound.h, musicStream), seconds. Once per frame,
    // first. clock/DemoContext.cpp
    void updateTime();
    // Seeks the music stream to the target (negative gives 0); time changes at the next updateTime.
    // clock/DemoContext.cpp
    void seekTo(float targetSeconds);
    // Flips `paused` and pauses or resumes the music with it. clock/DemoContext.cpp
    void togglePause();
    // 1 - (time - lastBeatTime) / 0.3, never below 0 (above 1 after a backward seek); sets
    // pulseLength. clock/DemoContext.cpp
    float beatPulse();
    // beatCount + 1, lastBeatTime := time. clock/DemoContext.cpp
    void countBeat();
    int getBeatCount() const { return beatCount; }
    // End of a frame: all colour channels writable, lighting and lights 0 to 7 off, then
    // detectBeat. clock/DemoContext.cpp
    void endFrame();
    // Counts a beat in the first frame of each period of the beat grid (base/BeatGrid.h); GL-free.
    // clock/DemoContext.cpp
    void detectBeat();
    // Space: logs the tap's time, gap and rate, then countBeat. clock/DemoContext.cpp
    void tapBeat();
    // Appends one line (at most 79 characters) to messageLog, dropping the oldest beyond 19.
    // clock/DemoContext.cpp
    void logMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The named texture on a square quad at distance 1, scaled; lighting off and the matrix and
    // lighting state restored, GL_TEXTURE_2D left enabled. Fatal for an unknown texture.
    // shell/LoadingScreen.cpp
    void drawTexturedQuad(const char* textureName, float scale);
    // Reads an AML file into sceneModels under the address of `name`; flag 1 also expands and
    // uploads the meshes. A file that is not AML version 2 or is damaged: one line on standard error
    // and exit status 1. Returns 0. geometry/SceneModel.cpp
    int loadSceneModel(const char* path, const char* name, int flags);
    // Builds a program from basePath.vs and basePath.fs (a stage whose file can't be read is left
    // out) into programs under the address of `key`. Compile and link failures are fatal with GL's
    // log. gpu/ProgramPair.cpp
    void loadProgramPair(const char* basePath, const char* key);
    // The centred aspectWidth:aspectHeight viewport of the 800 x 600 window. demo/Camera.cpp
    void setLetterboxViewport(float aspectWidth, float aspectHeight);

    float time = 0;         // music position at the start of this frame, seconds
    float lastBeatTime = 0; // demo time of the last counted beat, seconds
    int beatCount = 0;      // beats counted since start; never decreases
    bool beatLatch = false; // a beat was counted in this period's first part
    bool paused = false;
    float pulseLength = 0; // decay of the beat pulse, seconds (0.3 once used)
    // Keyed by the address of the caller's name text, never by its characters.
    std::map<const char*, SceneModel*> sceneModels;
    std::map<const char*, unsigned int> programs;
};

extern DemoContext demoContext;
// Tap lines, oldest first; at most 19 are kept. Each is an 80-byte buffer.
extern GrowArray<char*> messageLog;
// Demo time of the previous Space tap, seconds.
extern float previousTapTime;
