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
};

const ModelJob kJobs[] = {
    {"pallo.aml", makePallo}, {"ovaali.AML", makeOvaali},      {"pah.aml", makePah},
    {"ninja.aml", makeNinja}, {"bakteeri1.aml", makeBakteeri}, {"demoni.aml", makeDemoni},
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
        std::vector<ModelMesh> meshes = splitForIndices(job.make());
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
