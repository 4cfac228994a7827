// make_models <datadir>: writes the demo's AML models into the data directory. The same source
// always gives the same bytes.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "MeshReduction.h"
#include "Models.h"

namespace {

struct ModelJob {
    const char* fileName;
    ModelMesh (*make)();
    double largestSide;        // model units; 0 keeps the size the maker gives
    ReductionTarget reduction; // a zero budget keeps every triangle
};

// The sequence's camera orbits at 8 to 10 times a row's scale (0.1 to 3) with a 90-degree view, and
// comes close to the model now and then. Each figure is sized for the rows that show it, so that
// it fills a good part of the frame on most of them (see the review figures).
const ModelJob kJobs[] = {
    {"pallo.aml", makePallo, 0, {0, 0}},
    {"ovaali.AML", makeOvaali, 0, {0, 0}},
    {"pah.aml", makePah, 25.0, {20000, 0.03}},
    {"ninja.aml", makeNinja, 11.5, {20000, 0.01}},
    {"bakteeri1.aml", makeBakteeri, 28.0, {16000, 0.03}},
    {"demoni.aml", makeDemoni, 23.0, {16000, 0.015}},
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
        ReductionReport reduction;
        if (job.reduction.triangleBudget > 0) model = reduceMesh(model, job.reduction, &reduction);
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
        if (job.reduction.triangleBudget > 0)
            std::printf("  simplified from %zu triangles, surface moved at most %.4f units\n",
                        reduction.trianglesBefore, reduction.error);
    }
    std::printf("models written in %.2f s\n", secondsSince(start));
    return 0;
}
