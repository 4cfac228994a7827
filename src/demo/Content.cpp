#include "demo/Content.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstring>

#include "resources/Resources.h"

// Rows 25 to 46 repeat rows 0 to 21, row 47 repeats row 46, and rows 48 and 49 repeat 22 and 23.
const ContentRow objectSequence[objectSequenceRows] = {
    {"m1", "pah", 1.5f},       // 0
    {"m6", "bakteeri1", 1.0f}, // 1
    {"m9", "ninja", 2.0f},     // 2
    {"m2", "bakteeri1", 1.0f}, // 3
    {"m9", "ninja", 1.0f},     // 4
    {"m8", "pah", 3.0f},       // 5
    {"m2", "pah", 3.0f},       // 6
    {"m3", "bakteeri1", 1.7f}, // 7
    {"m7", "ninja", 2.0f},     // 8
    {"m5", "pah", 2.0f},       // 9
    {"m4", "ninja", 2.0f},     // 10
    {"m3", "bakteeri1", 2.0f}, // 11
    {"m8", "ninja", 2.0f},     // 12
    {"m9", "pah", 2.0f},       // 13
    {"m1", "ninja", 2.0f},     // 14
    {"m9", "pah", 2.0f},       // 15
    {"m3", "bakteeri1", 2.0f}, // 16
    {"m8", "ninja", 2.0f},     // 17
    {"m5", "bakteeri1", 2.0f}, // 18
    {"m9", "pah", 2.0f},       // 19
    {"m3", "demoni", 2.0f},    // 20
    {"m7", "pah", 0.1f},       // 21
    {"m9", "ninja", 2.0f},     // 22
    {"m5", "demoni", 2.0f},    // 23
    {"m7", "pah", 3.0f},       // 24
    {"m1", "pah", 1.5f},       // 25
    {"m6", "bakteeri1", 1.0f}, // 26
    {"m9", "ninja", 2.0f},     // 27
    {"m2", "bakteeri1", 1.0f}, // 28
    {"m9", "ninja", 1.0f},     // 29
    {"m8", "pah", 3.0f},       // 30
    {"m2", "pah", 3.0f},       // 31
    {"m3", "bakteeri1", 1.7f}, // 32
    {"m7", "ninja", 2.0f},     // 33
    {"m5", "pah", 2.0f},       // 34
    {"m4", "ninja", 2.0f},     // 35
    {"m3", "bakteeri1", 2.0f}, // 36
    {"m8", "ninja", 2.0f},     // 37
    {"m9", "pah", 2.0f},       // 38
    {"m1", "ninja", 2.0f},     // 39
    {"m9", "pah", 2.0f},       // 40
    {"m3", "bakteeri1", 2.0f}, // 41
    {"m8", "ninja", 2.0f},     // 42
    {"m5", "bakteeri1", 2.0f}, // 43
    {"m9", "pah", 2.0f},       // 44
    {"m3", "demoni", 2.0f},    // 45
    {"m7", "pah", 0.1f},       // 46
    {"m7", "pah", 0.1f},       // 47
    {"m9", "ninja", 2.0f},     // 48
    {"m5", "demoni", 2.0f},    // 49
};

const float sequenceFigureSize[objectSequenceRows] = {
    1.00f, 1.00f, 1.10f, 1.00f, 1.00f, // rows 0-4
    1.00f, 1.05f, 1.10f, 1.00f, 1.00f, // rows 5-9
    1.15f, 1.05f, 1.00f, 1.00f, 1.20f, // rows 10-14
    1.00f, 1.15f, 1.05f, 1.35f, 1.00f, // rows 15-19
    1.00f, 1.00f, 1.00f, 1.00f, 1.00f, // rows 20-24
    1.00f, 1.00f, 1.00f, 1.00f, 1.00f, // rows 25-29
    1.00f, 1.00f, 1.00f, 1.10f, 1.00f, // rows 30-34
    1.00f, 1.30f, 1.05f, 1.00f, 1.00f, // rows 35-39
    1.00f, 1.25f, 1.00f, 1.10f, 1.00f, // rows 40-44
    1.00f, 1.00f, 1.00f, 1.00f, 1.00f, // rows 45-49
};

const SubjectHue subjectHues[subjectHueCount] = {
    {"m6", 140, 217, 255}, // x-ray: ice blue
    {"m7", 255, 18, 13},   // red paint
    {"m8", 18, 128, 255},  // blue paint
};

const SubjectHue& subjectHueOf(const std::string& material) {
    static const SubjectHue none = {"", 0, 0, 0};
    for (const SubjectHue& hue : subjectHues)
        if (material == hue.material) return hue;
    return none;
}

const char* const contentModels[contentModelCount] = {"pah", "ninja", "pallo", "bakteeri1", "demoni"};

const MaterialLoad materialLoads[materialLoadCount] = {
    {"test", "data/materials/test.mat"},
    {"show_normals", "data/materials/show_normals.mat"},
    {"pp.invert", "data/materials/pp_invert.mat"},
    {"particle.test", "data/materials/particle_test.mat"},
    {"particle2.test", "data/materials/particle2_test.mat"},
    {"marble", "data/materials/marble.mat"},
    {"testcube", "data/materials/carpaint.mat"},
    {"kivikko skybox", "data/materials/skybox.mat"},
    {"m1", "data/materials/marble.mat"},
    {"m2", "data/materials/foo1.mat"},
    {"m3", "data/materials/foo2.mat"},
    {"m4", "data/materials/foo3.mat"},
    {"m5", "data/materials/foo4.mat"},
    {"m6", "data/materials/foo5.mat"},
    {"m7", "data/materials/carpaint.mat"},
    {"m8", "data/materials/carpaint2.mat"},
    {"m9", "data/materials/carpaint3.mat"},
};

const RenderTextureSize renderTargets[renderTargetCount] = {
    {"rt0", 1024, 512, true},     {"rt1", 1024, 512, true},     {"rt2", 1024, 512, true},
    {"rt.glow", 256, 128, false}, {"rt.blur", 256, 256, false},
};

const char* const skyCube = "kivikko";

const char* const contentPictures[contentPictureCount] = {"overlay", "envi", "envi2", "envi3", "nyrkki"};

namespace {
void stepDone(LoadingStep betweenSteps) {
    if (betweenSteps) betweenSteps();
}
} // namespace

void loadModels(LoadingStep betweenSteps) {
    // Loaded for its table only; nothing draws it.
    loadSceneModel(resources.sceneModels, "data/ovaali.AML", "sisa", 1);
    stepDone(betweenSteps);
    for (const char* name : contentModels) {
        resources.models.load(name);
        resources.models.get(name).computeNormals();
        resources.models.get(name).createBuffers();
        stepDone(betweenSteps);
    }
}

namespace {

// Render textures clamp to their edges: a blur sampling past the top row must get the top row
// again, not the bottom one, or the sky at the top of a frame glows along its bottom. The texture
// manager's wrapping is put back afterwards for the pictures that follow.
class ClampedRenderTextures {
public:
    ClampedRenderTextures()
        : s(resources.textures.wrapS), t(resources.textures.wrapT), r(resources.textures.wrapR) {
        resources.textures.setWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, r);
    }
    ~ClampedRenderTextures() { resources.textures.setWrap(s, t, r); }

private:
    int s, t, r;
};

} // namespace

// Made before any picture is loaded, while the texture manager still has its linear filters.
// Nothing draws into eight of them, so they are reserved: an image of 1024 x 1024 texels is made
// only for one that becomes a render target.
void createRenderTextures() {
    static const char* const names[] = {"rt0",  "rt1",  "rtt2", "rtt3", "rtt4",
                                        "rtt5", "rtt6", "rtt7", "rtt8", "rt9"};
    ClampedRenderTextures clamped;
    for (const char* name : names) resources.textures.reserve(name, 1024, 768, GL_RGBA8, GL_RGBA);
}

TargetSize renderTargetSize(const RenderTextureSize& target, const FrameView& view) {
    if (target.pictureSized && view.width * view.height > 800 * 600) return {view.width, view.height};
    return scaledTarget(view, target.width, target.height);
}

TargetSize largestRenderTarget(const FrameView& view) {
    TargetSize largest;
    for (const RenderTextureSize& target : renderTargets) {
        const TargetSize size = renderTargetSize(target, view);
        largest.width = std::max(largest.width, size.width);
        largest.height = std::max(largest.height, size.height);
    }
    return largest;
}

void createRenderTargets(const FrameView& view) {
    {
        ClampedRenderTextures clamped;
        for (const RenderTextureSize& target : renderTargets) {
            const TargetSize size = renderTargetSize(target, view);
            resources.textures.uploadTarget(target.name, size.width, size.height, GL_RGBA8, GL_RGBA);
        }
    }
    // One record serves every target: each generate() gives it a fresh framebuffer object before
    // the registry stores a copy.
    rovena::FBO record;
    for (const RenderTextureSize& target : renderTargets) {
        record.generate();
        record.attach(resources.textures, resources.fbos.depthBuffers, target.name, GL_COLOR_ATTACHMENT0_EXT,
                      GL_TEXTURE_2D);
        resources.fbos.add(target.name, record);
    }
}

void fitRenderTargets(const FrameView& view) {
    bool fit = true;
    for (const RenderTextureSize& target : renderTargets) {
        const TargetSize size = renderTargetSize(target, view);
        fit = fit && resources.fbos.has(target.name) && resources.fbos.get(target.name).width == size.width &&
              resources.fbos.get(target.name).height == size.height;
    }
    if (fit) return;
    createRenderTargets(view);
    resources.fbos.releaseUnusedDepthBuffers();
}

void loadRenderTargets(LoadingStep betweenSteps, const FrameView& view) {
    createRenderTargets(view);
    for (const char* picture : contentPictures) {
        // The emblem is only ever drawn over the whole 800 x 600 view, larger than its picture: its
        // smaller levels would never be read, and choosing among them cost every flashed frame
        // about a millisecond.
        const bool emblem = strcmp(picture, "nyrkki") == 0;
        resources.textures.setFilter(emblem ? GL_LINEAR : GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR);
        resources.textures.load2D(picture, -1, -1);
        stepDone(betweenSteps);
    }
    resources.textures.setFilter(GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR);
}

void loadMaterials(LoadingStep betweenSteps) {
    resources.shaders.addProgramFiles("distort2", "data/shaders/distort2.vs", "data/shaders/distort2.fs");
    loadProgramPair(resources.programs, "data/shaders/distort2", "distort2");
    stepDone(betweenSteps);
    for (int i = 0; i < materialLoadCount; ++i) {
        if (i == repeatingMaterialCount) resources.textures.setWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, -1);
        resources.materials.loadMaterialFile(materialLoads[i].name, materialLoads[i].file);
    }
}

// The faces of 512 texels are about one a pixel of the 800 x 600 picture through the 90-degree view,
// so a larger picture would enlarge them. The large faces' cube takes the name's record (the sky and
// the paints look its GL texture up by name when they bind it), and the cube made at loading keeps
// its record under a name of its own to be put back: 800 x 600 always reads what it always read.
// Loaded after the materials, the large cube gets the same filters and wrapping as the one the paints
// loaded, mipmaps included.
void fitSkyCube(const FrameView& view) {
    rovena::TextureManager& textures = resources.textures;
    if (!textures.has(skyCube)) return;
    const bool large = view.width * view.height > 800 * 600;
    // Called every frame: the names are made once.
    static const std::string loadedName = std::string(skyCube) + ".loaded", largeName = std::string(skyCube) + "_large";
    if (!textures.has(loadedName)) {
        if (!large) return;
        textures.entry(loadedName) = textures.get(skyCube);
    }
    if (large && !textures.has(largeName)) {
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP, &bound);
        textures.loadCube(largeName, -1, -1);
        glBindTexture(GL_TEXTURE_CUBE_MAP, static_cast<GLuint>(bound));
    }
    textures.get(skyCube) = textures.get(large ? largeName : loadedName);
}
