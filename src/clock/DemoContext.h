#pragma once
// The demo's global state: the clock read from the music position, beat detection and the beat
// pulse, seeking, pausing and tapping, and two tables filled while loading. Its other operations
// (scene model, program pair, render textures, textured quad, letterbox) live with their subsystems.
#include <map>

#include "resources/GrowArray.h"

struct SceneModel;

class DemoContext {
  public:
    DemoContext() = default;
    DemoContext(const DemoContext&) = delete;
    DemoContext& operator=(const DemoContext&) = delete;
    ~DemoContext(); // empties both tables

    // Start-up: resets beat and pause state and creates the ten empty render textures.
    void init();
    // Demo time := the music stream's position; seekTo and togglePause act on that stream.
    void createRenderTextures();

    void updateTime();
    void seekTo(float targetSeconds);
    void togglePause();
    float beatPulse();
    void countBeat();
    int getBeatCount() const { return beatCount; }
    // Resets the colour mask and lighting left by the frame, then detectBeat.
    void endFrame();
    // Counts a beat in the first frame of each 60/130 s period (GL-free: beat tracking alone).
    void detectBeat();
    void tapBeat();
    void logMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void drawTexturedQuad(const char* textureName, float scale);
    int loadSceneModel(const char* path, const char* name, int flags);
    void loadProgramPair(const char* basePath, const char* key);
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
