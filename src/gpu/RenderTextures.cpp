#include <GL/glew.h>

#include "clock/DemoContext.h"
#include "resources/Resources.h"

// Made before any picture is loaded, while the texture manager still has its linear filters
// and repeat wrapping.
void DemoContext::createRenderTextures() {
    static const char* const names[] = {"rt0",  "rt1",  "rtt2", "rtt3", "rtt4",
                                        "rtt5", "rtt6", "rtt7", "rtt8", "rt9"};
    for (const char* name : names) resources.textures.upload(name, 1024, 768, nullptr, GL_RGBA8, GL_RGBA);
}
