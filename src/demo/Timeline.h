#pragma once
// The demo's script. Each frame is a function of the beat clock (show time, beat count, pulse) and
// the loaded resources alone: three scenes drawn into "rt0", glowed there in place, shown on the
// window and overlaid with the beat flash; the show ends at 206 s. The decisions (scene, sequence
// row, flash, camera eye, glow strength) are plain functions so they can be checked without GL; the
// drawing of a scene's subject is exported so review tools draw it exactly as the show does.
#include <string>

#include "base/BeatGrid.h"
#include "base/Vector3.h"
#include "demo/FrameView.h"

class DemoContext;

enum class Scene {
    figure,    // the marble figure under an orbiting camera
    metaballs, // the metaball surface
    sequence,  // the material-and-model sequence, one row per eight beats
    over       // the show has ended
};

// Time bounds, seconds. They are compared against the single-precision time in double precision.
constexpr double metaballsStartSeconds = 20.5;
constexpr double sequenceStartSeconds = 30.4;
constexpr double showEndSeconds = 206.0;
// Eight beats of the beat grid, seconds.
constexpr double sequenceRowSeconds = 8 * beatSeconds;

Scene sceneAt(float timeSeconds);
// Row of the sequence shown at a time of the sequence scene (0 at its start, 47 just before the end).
int sequenceRow(float timeSeconds);
// Brightness of the beat overlay: the pulse on even beat counts and on every eighth beat's
// predecessor, nothing on the others.
float flashValue(float pulse, int beatCount);
// Camera position of a scene at a time. The metaball camera sways sideways with the flash; the
// sequence orbit is scaled by its row's scale (which moves the camera, not the object).
Vec3 sceneEye(Scene scene, float timeSeconds, float flash, float orbitScale);
float glowStrength(Scene scene, float pulse);
// Further out on its orbit a subject is drawn larger, by the eye's distance from the centre over
// its near distance, up to its largest growth: from there out it keeps the share of the frame it
// has at the near distance, instead of shrinking toward a speck at the orbit's far end. Nearer, it
// keeps its own size, which is what clears the orbit's nearest passes. The metaball cluster grows
// from 9 units to its orbit's far end (14.5 units); from 8 it would whiten two more beats. The
// sequence's figures, larger and orbited from up to 40 units, grow from 14 up to 1.2 times: from 10
// the knot would grow into passes that come within a unit of it, from 12 the light marble knot of
// the near rows (scale 1.5), already large, would whiten more of its beats, and from 16 the
// bacterium of row 11 would stay under 5 % of its frames.
constexpr float metaballNearDistance = 9.0f;
constexpr float metaballLargestGrowth = 1.6f;
constexpr float figureNearDistance = 14.0f;
constexpr float figureLargestGrowth = 1.2f;
float subjectGrowth(float eyeDistance, float nearDistance, float largestGrowth);
// A sequence figure of `size` times its model's size, grown by the eye's distance from `eye`.
float grownFigureSize(float size, const Vec3& eye);
// How many times its model's size a sequence row draws its figure when the eye is at `eye`:
// sequenceFigureSize, grown by the eye's distance.
float sequenceFigureScale(int row, const Vec3& eye);

// Draws the complete frame at the clock's time into the window's back buffer, the picture where
// the view puts it and its bars black, and returns false, with the beat flash drawn over it (0 to 1)
// in `beatFlash`; the render targets must have the view's sizes (fitRenderTargets). Once the show
// is over it only clears "rt0", returns to the window and returns true: nothing is shown.
bool renderTimeline(const DemoContext& clock, const FrameView& view, float& beatFlash);

// The steps of a frame's scene, in the order renderTimeline takes them; each acts on the current
// framebuffer and leaves the camera's matrices in place for the next.
// Places and applies the scene camera at `eye` looking at the origin with a 90-degree view, then
// turns the models' Z axis up.
void placeCamera(const Vec3& eye);
// Uses the material; "marble" also gets its light, (0, 1, 0). The caller unuses it.
void useSceneMaterial(const std::string& material);
// A loaded model as the show draws its figures: its back faces culled where they can't show (the
// eye outside the surface and clear of it), both sides drawn otherwise. Leaves face culling off.
void drawFigure(const std::string& model);
// The material the scene's subject wears at that time (not for Scene::over).
const std::string& subjectMaterial(Scene scene, float timeSeconds);
// The scene's subject as the show draws it at that time (not for Scene::over): camera, material,
// the model or the metaball surface, material unused.
void drawSceneSubject(Scene scene, float timeSeconds, float flash);
// The sky sphere, scaled onto the current model-view matrix (no push or pop), its light behind the
// subject clear of the colour `subjectMaterial` mostly shows (subjectHueOf).
void drawSkyBox(const std::string& subjectMaterial = std::string());
