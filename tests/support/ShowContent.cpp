#include "support/ShowContent.h"

#include <filesystem>
#include <fstream>
#include <sstream>

const std::vector<MaterialLoad>& showMaterialLoads() {
    static const std::vector<MaterialLoad> loads = {
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
    return loads;
}

const std::vector<std::string>& showPictures() {
    static const std::vector<std::string> names = {"loading", "overlay", "envi", "envi2", "envi3", "nyrkki"};
    return names;
}

const std::vector<std::string>& renderTextureNames() {
    static const std::vector<std::string> names = {"rt0", "rt1", "rt2", "rt.glow", "rt.blur"};
    return names;
}

std::string findPictureFile(const std::string& dataDir, const std::string& name) {
    for (const char* ext : {".png", ".jpg"}) {
        std::string path = dataDir + "/" + name + ext;
        if (std::filesystem::exists(path)) return path;
    }
    return "";
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
