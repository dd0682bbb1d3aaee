#pragma once
// The four named colour styles of the audio capture tool and their file
// "AudioFile.json": {"Device": {"AudioLightInfo": {"nAudioStyle",
// "nStyleName1".."nStyleName4", "nStyleR0","nStyleG0","nStyleB0" ..
// "nStyleR3","nStyleG3","nStyleB3"}}}.
//
// What it promises: a record read from any file is usable (style 0..3, a
// style outside reads as 0; colour levels 0..9, values outside are clamped;
// missing members read as 0 or empty); a missing or damaged user file is
// replaced by the default one, and a failed write leaves the old file whole
// (reported by the return value). User-interface thread only.
#include <json/value.h>

#include <array>
#include <cstdint>
#include <string>

namespace velkor {

struct AudioStyleRecord {
    static constexpr int kStyles = 4;
    static constexpr int kMaxLevel = 9;
    uint8_t style = 0;
    std::array<std::string, kStyles> names;
    std::array<std::array<uint8_t, 3>, kStyles> colours{}; // red, green, blue levels 0..9

    bool operator==(const AudioStyleRecord&) const = default;
};

// "第一组" .. "第四组" for styles 0..3; empty outside.
std::string DefaultStyleName(int style);
// The record in a document's "Device"/"AudioLightInfo" (a document of another shape reads as zeros).
AudioStyleRecord AudioStyleFromDocument(const Json::Value& document);
// Writes every member of the record into the document's "Device"/"AudioLightInfo",
// keeping the document's other members.
void WriteAudioStyle(Json::Value& document, const AudioStyleRecord& record);
// The tool's copy-data id 10: 40 bytes, the selected style's red, green and
// blue levels as three 32-bit little-endian values (a green of 0 goes as 1),
// the rest 0.
std::array<int32_t, 3> SelectedStyleColour(const AudioStyleRecord& record);

class AudioStyleFile {
public:
    // The default file (read only) and the user's copy.
    AudioStyleFile(std::string defaultPath, std::string userPath)
        : m_defaultPath(std::move(defaultPath)), m_userPath(std::move(userPath)) {}

    // Reads the user's file; when it is missing or not JSON, the default
    // file, which is then saved as the user's. False when neither could be
    // read (the record is then all zeros and nothing is written).
    bool Load();
    // The record into the document, saved to the user's file. False when the write failed.
    bool Save(const AudioStyleRecord& record);
    // The default file replaces the user's, and the record is read from it.
    // False when the default cannot be read or the user's file not written.
    bool Reset();

    const AudioStyleRecord& Record() const { return m_record; }
    const Json::Value& Document() const { return m_document; }
    const std::string& UserPath() const { return m_userPath; }

private:
    bool Take(Json::Value document);

    std::string m_defaultPath;
    std::string m_userPath;
    Json::Value m_document;
    AudioStyleRecord m_record;
};

} // namespace velkor
