// make_models <datadir>: writes the demo's AML models into the data directory. The same source
// always gives the same bytes.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Figures.h"
#include "MeshReduction.h"
#include "Models.h"

namespace {

struct ModelJob {
    const char* fileName;
    ModelMesh (*make)();
    const FigureSpec* figure; // size and budget; none keeps the maker's size and every triangle
};

const ModelJob kJobs[] = {
    {"pallo.aml", makePallo, nullptr},
    {"ovaali.AML", makeOvaali, nullptr},
    {"pah.aml", makePah, &kFigures[0]},
    {"ninja.aml", makeNinja, &kFigures[1]},
    {"bakteeri1.aml", makeBakteeri, &kFigures[2]},
    {"demoni.aml", makeDemoni, &kFigures[3]},
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
        ReductionReport reduction;
        if (job.figure) {
            fitLargestSide(model, job.figure->largestSide);
            model = reduceMesh(model, {job.figure->triangleBudget, job.figure->maxError}, &reduction);
        }
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
        if (job.figure)
            std::printf("  simplified from %zu triangles, surface moved at most %.4f units\n",
                        reduction.trianglesBefore, reduction.error);
    }
    std::printf("models written in %.2f s\n", secondsSince(start));
    return 0;
}
