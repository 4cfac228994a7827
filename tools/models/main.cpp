// make_models <datadir>: writes the demo's AML models into the data directory. The same source
// always gives the same bytes.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Models.h"

namespace {

struct ModelJob {
    const char* fileName;
    ModelMesh (*make)();
    double largestSide; // model units; 0 keeps the size the maker gives
};

// The show's camera orbits at about 8 to 10 times a row's scale with a 90 degree view: figures of
// this size fill much of the frame at scales 1 to 2 and are entered from above at scale 0.1.
constexpr double kFigureSize = 9.5;

const ModelJob kJobs[] = {
    {"pallo.aml", makePallo, 0},
    {"ovaali.AML", makeOvaali, 0},
    {"pah.aml", makePah, kFigureSize},
    {"ninja.aml", makeNinja, kFigureSize},
    {"bakteeri1.aml", makeBakteeri, kFigureSize},
    {"demoni.aml", makeDemoni, kFigureSize},
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_models <data directory>\n");
        return 2;
    }
    const std::string dataDir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dataDir, error);
    if (error) {
        std::fprintf(stderr, "Cannot create '%s': %s\n", dataDir.c_str(), error.message().c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    for (const ModelJob& job : kJobs) {
        const auto modelStart = std::chrono::steady_clock::now();
        ModelMesh model = job.make();
        if (job.largestSide > 0) fitLargestSide(model, job.largestSide);
        std::vector<ModelMesh> meshes = splitForIndices(model);
        std::vector<uint8_t> bytes = encodeAml(meshes);
        std::string path = dataDir + "/" + job.fileName;
        if (!writeFile(path, bytes)) return 1;
        size_t vertices = 0, triangles = 0;
        for (const ModelMesh& mesh : meshes) {
            vertices += mesh.vertices.size();
            triangles += mesh.triangles.size();
        }
        std::printf("%-28s %zu mesh%s, %6zu vertices, %6zu triangles, %8zu bytes, %.2f s\n", path.c_str(),
                    meshes.size(), meshes.size() == 1 ? "  " : "es", vertices, triangles, bytes.size(),
                    secondsSince(modelStart));
    }
    std::printf("models written in %.2f s\n", secondsSince(start));
    return 0;
}
