#pragma once
// The one process-wide aggregate of the five registries and the two tables start-up fills, made
// before the entry point and kept for the whole run. Registries that need another are given it
// here, so each reaches only what it uses. Every lookup of an unknown name is fatal:
// "No such <kind>: '<name>'." (base/Manager.h).
#include "geometry/ModelManager.h"
#include "geometry/SceneModel.h"
#include "gpu/FBOManager.h"
#include "gpu/MaterialManager.h"
#include "gpu/ProgramPair.h"
#include "gpu/ShaderManager.h"
#include "gpu/TextureManager.h"

class Resources {
public:
    // Pictures, cube maps and render textures by name; holds the filter, wrap and target state the
    // next upload gets. gpu/TextureManager.cpp
    rovena::TextureManager textures;
    // GLSL programs by name; use/unuse switch the GL program, the uniform setters address the one
    // in use. Compile and link failures are fatal with GL's log. gpu/ShaderManager.cpp
    rovena::ShaderManager shaders;
    // Programs with their textures, from material files; use binds the program and every texture
    // on its unit, unuse unuses the program. gpu/MaterialManager.cpp
    rovena::MaterialManager materials{textures, shaders};
    // Models read from data/<name>.aml; fatal for a file that is missing or not AML version 2.
    // geometry/ModelManager.cpp
    rovena::ModelManager models;
    // Render targets; use binds one and pushes the viewport, unuse returns to the window and pops
    // it. gpu/FBOManager.cpp
    rovena::FBOManager fbos;
    // Filled while loading and never read after. geometry/SceneModel.cpp, gpu/ProgramPair.cpp
    SceneModelTable sceneModels;
    ProgramTable programs;
};

extern Resources resources;
