// How long each content generator takes to write its assets, run as the build runs it: a whole
// process into a fresh folder. The build runs all three on every generator change.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

const char* const generators[] = {"make_models", "make_pictures", "make_music"};

// Runs the generator with its output (a folder, or the music file) under `folder`, its messages
// thrown away; returns the exit status.
int runGenerator(const std::string& name, const std::string& folder) {
    const std::string program = std::string(LUMORAKKA_BUILD_DIR) + "/tools/" + name;
    const std::string output = name == "make_music" ? folder + "/noisebiisi.ogg" : folder;
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(output.c_str()),
                               nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Generator(benchmark::State& state) {
    const std::string name = generators[state.range(0)];
    state.SetLabel(name);
    std::string folder = (std::filesystem::temp_directory_path() / "lumorakka-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        state.SkipWithError("cannot make a temporary folder");
        return;
    }
    for (auto _ : state)
        if (runGenerator(name, folder) != 0) state.SkipWithError((name + " failed").c_str());
    std::filesystem::remove_all(folder);
}
BENCHMARK(Generator)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
