#pragma once
// The steps of one frame, in the order they end, for benchmarks that time them and for the check
// that each gives GL back as the frame began: the scene's subject, its sky, the glow's blur, the
// rest of the glow, the picture on the window with the beat flash.
enum class FramePhase { geometry, sky, blur, glow, final };
constexpr int framePhaseCount = 5;

// Called as each step of a frame ends when set (benchmarks); null in the show. glow reports its
// blur and then itself; the timeline reports the rest.
extern void (*framePhaseDone)(FramePhase phase);

// When set, each phase of a frame must leave GL in the state the frame began in (gpu/PassState.h:
// FrameState), save that the scene's subject ends inside the scene's render target (its
// framebuffer and viewport bound, its entry on the attribute stack); no other phase may leave a
// target in use, and none a material. A phase that doesn't is fatal, naming the phase and the
// first state that differs. On in debug builds and in the GL tests.
extern bool framePhasesChecked;

// Takes the state the frame begins in, for the checks of its phases; the final phase ends them.
// Phases reported outside a frame (the passes drawn at start-up, in tests and benches) are not
// checked.
void beginFramePhases();
void endFramePhases();

// The end of a phase: the benchmark's hook, then the check.
void reportFramePhase(FramePhase phase);
