#include "support/ShowContent.h"

#include <filesystem>
#include <fstream>
#include <sstream>

std::vector<std::string> showPictures() {
    std::vector<std::string> names = {"loading"};
    names.insert(names.end(), std::begin(contentPictures), std::end(contentPictures));
    return names;
}

bool isRenderTexture(const std::string& name) {
    for (const RenderTextureSize& target : renderTargets)
        if (name == target.name) return true;
    return false;
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
