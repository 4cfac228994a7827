#pragma once
// Test pictures and material files live in a fresh temporary directory that becomes the working
// directory, so the engine's "data/..." paths resolve into it. The previous working directory is
// restored and the directory removed afterwards, also when a death test's child exits early.
#include <string>

class ScratchDataDir {
  public:
    ScratchDataDir();  // creates <tmp>/lumorakka-gpu-XXXXXX with data/ inside and enters it
    ~ScratchDataDir(); // leaves and removes it
    ScratchDataDir(const ScratchDataDir&) = delete;
    ScratchDataDir& operator=(const ScratchDataDir&) = delete;

    const std::string& path() const { return root; }
    // Writes a text file relative to the scratch directory.
    void writeText(const std::string& relativePath, const std::string& text) const;

  private:
    std::string root;
    std::string previous;
};

// Compresses 8-bit gray (1 channel) or RGB (3 channels) rows, top row first, with libjpeg.
// Quality 100 keeps flat colours within a step or two of the input.
bool writeTestJpeg(const std::string& path, int width, int height, int channels, const unsigned char* pixels,
                   int quality = 100);

// Writes PNG layouts the engine never writes itself (palette, 16-bit, packed), rows top first.
// colorType and bitDepth are libpng's; a palette image gets a 256-entry gray ramp.
bool writeTestPngRaw(const std::string& path, int width, int height, int bitDepth, int colorType,
                     const unsigned char* rows, int rowBytes);
