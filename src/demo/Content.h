#pragma once
// The demo's content: which models, render targets, pictures, programs and materials exist under
// which names, the order they load in behind the loading screen, and the fifty-row sequence the
// third scene walks through. Every name here is one the timeline or a material file relies on.
#include <string>

#include "demo/FrameView.h"

struct ContentRow {
    std::string material; // name in the materials registry
    std::string model;    // name in the models registry
    float scale;          // multiplies the camera's orbit, not the object
};

constexpr int objectSequenceRows = 50;
// Rows 48 and 49 are never reached: the show ends during row 47.
extern const ContentRow objectSequence[objectSequenceRows];
// How many times its model's size each row draws its figure, before it grows with the eye's distance
// (sequenceFigureScale). The orbit grows with the row's scale and the model does not, so a far row
// would show a small toy: its figure grows until it covers a fair share of the row's frames, as far
// as every frame of the row that draws it larger than its model leaves the eye a unit clear of it.
// `review_show --fit-sizes` fits them to the models as they are built.
extern const float sequenceFigureSize[objectSequenceRows];

// The colour a sequence material mostly shows (0 to 255 a channel), which the sky's light behind the
// subject keeps clear of. Materials of many colours or none (marble, cel, thin film, chrome) are
// not listed, and neither are those whose light across from them would whiten on the beat: the
// gold in azure light before the sunset's bright horizon, the hologram's cyan and white in
// orange. All zero for a material not listed.
struct SubjectHue {
    const char* material; // name in the materials registry
    int red, green, blue;
};
constexpr int subjectHueCount = 3;
extern const SubjectHue subjectHues[subjectHueCount];
const SubjectHue& subjectHueOf(const std::string& material);

// Load order of the models, each from data/<name>.aml.
constexpr int contentModelCount = 5;
extern const char* const contentModels[contentModelCount];

struct MaterialLoad {
    const char* name; // registry name
    const char* file; // material file, relative to the working directory
};
// Load order of the material files. Textures first loaded by the first `repeatingMaterialCount`
// files repeat; those first loaded by later files are clamped to the edge.
constexpr int materialLoadCount = 17;
constexpr int repeatingMaterialCount = 5;
extern const MaterialLoad materialLoads[materialLoadCount];

struct RenderTextureSize {
    const char* name;
    int width;  // texels, for the 800 x 600 picture
    int height; // texels, likewise
    // The scene's targets: for a picture larger than 800 x 600, the picture's own size, a texel for
    // each of its pixels (scaled alike, their 512 rows for 600 would still enlarge the scene).
    bool pictureSized;
};
// Render textures and the targets of the same names, in creation order, with their sizes for the
// 800 x 600 picture; other pictures scale them (renderTargetSize).
constexpr int renderTargetCount = 5;
extern const RenderTextureSize renderTargets[renderTargetCount];
// A target's size for the view's picture.
TargetSize renderTargetSize(const RenderTextureSize& target, const FrameView& view);
// The largest target's size for the view's picture.
TargetSize largestRenderTarget(const FrameView& view);

// Pictures loaded after the render targets, with mipmaps, from data/<name>.png or .jpg.
constexpr int contentPictureCount = 5;
extern const char* const contentPictures[contentPictureCount];

// Ten empty 1024 x 768 RGBA textures "rt0", "rt1", "rtt2" .. "rtt8", "rt9" in the texture registry,
// made with its filters at the time and clamped to their edges. Start-up makes them first, before
// any picture.
void createRenderTextures();

// The three load stages of start-up, in this order. Each calls `betweenSteps` (when given) after
// its steps, where start-up draws the loading screen; every failure on the way is fatal in the
// loader that meets it.
using LoadingStep = void (*)();
void loadModels(LoadingStep betweenSteps = nullptr);
void loadRenderTargets(LoadingStep betweenSteps = nullptr, const FrameView& view = FrameView());
// The first part of loadRenderTargets: the render textures and the targets drawing into them, at
// their sizes for the view's picture.
void createRenderTargets(const FrameView& view = FrameView());
// Makes the targets again when the view's picture needs other sizes than they have (the window was
// resized), and lets go of the depth buffers of sizes no target has any more. Nothing otherwise.
// Needs no target in use.
void fitRenderTargets(const FrameView& view);
void loadMaterials(LoadingStep betweenSteps = nullptr);

// The sky's cube map, by the name the sky and the paints bind it by, and its faces drawn twice as
// large (data/<name>_large_c00 .. _c05).
extern const char* const skyCube;
// Gives the sky's cube map the faces the view's picture needs: a picture larger than 800 x 600 reads
// the large faces (loaded the first time one needs them), any other the cube loadMaterials made.
// Nothing before loadMaterials. Leaves the texture bindings as they were.
void fitSkyCube(const FrameView& view);
