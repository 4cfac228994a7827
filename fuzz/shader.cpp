// Shader sources as the GL route rewrites them for GL ES 3: the preprocessor and the rewriting,
// for both stages, and the stand-in stage of a one-stage program.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/glroute/ShaderRewrite.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string source(reinterpret_cast<const char*>(data), size);
    // The source's lines, any line end counting once.
    size_t lines = 1;
    for (size_t i = 0; i < size; ++i)
        lines += source[i] == '\n' || (source[i] == '\r' && (i + 1 == size || source[i + 1] != '\n'));
    for (const glroute::ShaderStage stage : {glroute::ShaderStage::vertex, glroute::ShaderStage::fragment}) {
        std::string rewritten, error;
        glroute::ShaderInterface interface;
        if (!glroute::rewriteShader(stage, source, rewritten, error, &interface)) {
            if (error.empty()) abort();
            continue;
        }
        // Compiler messages count the source's lines: every one is kept, after the header.
        const size_t body = rewritten.find("#line 1\n");
        if (body == std::string::npos || rewritten.find('\0') != std::string::npos) abort();
        size_t kept = 0;
        for (size_t i = body + 8; i < rewritten.size(); ++i) kept += rewritten[i] == '\n';
        if (kept != lines) abort();
        const glroute::ShaderStage other =
            stage == glroute::ShaderStage::vertex ? glroute::ShaderStage::fragment : glroute::ShaderStage::vertex;
        if (glroute::companionShader(other, interface).empty()) abort();
    }
    return 0;
}
