#pragma once
// Reads a RIFF WAVE file into mono float samples (the channels averaged):
// 16-bit and 32-bit integer PCM and 32-bit float. Anything else, a damaged
// header or a data chunk that runs past the end of the file is refused with
// the reason; nothing is read past the file.
#include <cstdint>
#include <string>
#include <vector>

namespace velkor {

struct WavSound {
    uint32_t rate = 0;
    std::vector<float> samples;
};

bool ReadWavFile(const std::string& path, WavSound& sound, std::string& error);

} // namespace velkor
