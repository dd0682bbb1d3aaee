#include "platform/pulse/WavFile.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace velkor {
namespace {

constexpr size_t kMostBytes = size_t(1) << 30; // a gigabyte of sound is not a test file

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

bool ReadWavFile(const std::string& path, WavSound& sound, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 12 || size_t(size) > kMostBytes) {
        error = path + ": not a WAVE file of a usable size";
        return false;
    }
    file.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!file || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = path + ": not a RIFF WAVE file";
        return false;
    }
    uint16_t format = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;
    uint32_t rate = 0;
    const uint8_t* data = nullptr;
    size_t dataBytes = 0;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint8_t* chunk = bytes.data() + at;
        const size_t length = Le32(chunk + 4);
        if (length > bytes.size() - at - 8) {
            error = path + ": a chunk runs past the end of the file";
            return false;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0 && length >= 16) {
            format = Le16(chunk + 8);
            channels = Le16(chunk + 10);
            rate = Le32(chunk + 12);
            bits = Le16(chunk + 22);
            if (format == 0xFFFE && length >= 40) {
                format = Le16(chunk + 32); // WAVE_FORMAT_EXTENSIBLE: the sub-format's tag
            }
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            data = chunk + 8;
            dataBytes = length;
        }
        at += 8 + length + (length & 1);
    }
    const bool pcm = format == 1 && (bits == 16 || bits == 32);
    const bool floats = format == 3 && bits == 32;
    if (data == nullptr || channels == 0 || rate == 0 || (!pcm && !floats)) {
        error = path + ": only 16-bit or 32-bit PCM and 32-bit float WAVE files with a data chunk are read";
        return false;
    }
    const size_t frameBytes = size_t(channels) * bits / 8;
    const size_t frames = dataBytes / frameBytes;
    sound.rate = rate;
    sound.samples.assign(frames, 0.0f);
    for (size_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (size_t c = 0; c < channels; ++c) {
            const uint8_t* p = data + f * frameBytes + c * bits / 8;
            if (floats) {
                float value = 0;
                std::memcpy(&value, p, sizeof value);
                sum += value;
            } else if (bits == 16) {
                sum += int16_t(Le16(p)) / 32768.0;
            } else {
                sum += int32_t(Le32(p)) / 2147483648.0;
            }
        }
        sound.samples[f] = float(sum / channels);
    }
    return true;
}

} // namespace velkor
