#pragma once
// Skins: the background colour or picture the user chooses in the skin window,
// how the choice reaches the windows, and the record of a chosen picture.
//
// A choice is announced as a SkinChangedParam to every registered receiver in
// registration order. A picture choice is recorded in "main.ini" (user base
// folder), section "SKINIMAGE": "FLAGS" = "1" and "IMAGE" = the picture after a
// picture, "0" and the default picture after a reset; colours and the user's
// own files are not recorded. User-interface thread only.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

inline constexpr const char* kSkinIniFileName = "main.ini";
inline constexpr std::string_view kDefaultSkinPicture = "common/background.png";

struct SkinChangedParam {
    enum Kind : uint8_t { kPicture = 0, kColour = 1 };
    uint8_t kind = kPicture;
    uint32_t colour = 0; // 0xAARRGGBB, for kColour
    std::string picture; // a resource picture path or a file path, for kPicture
};

class SkinChangeReceiver {
public:
    virtual ~SkinChangeReceiver() = default;
    virtual void SkinChanged(const SkinChangedParam& param) = 0;
};

class SkinChangeSubject {
public:
    // Adding a receiver twice adds it once.
    void Add(SkinChangeReceiver& receiver);
    // A receiver removed during an announcement hears nothing more of it.
    void Remove(SkinChangeReceiver& receiver);
    // Every receiver, in registration order.
    void Announce(const SkinChangedParam& param);
    size_t Count() const { return m_receivers.size(); }

private:
    std::vector<SkinChangeReceiver*> m_receivers;
};

// Sets key = value in [section] of an INI text, keeping every other line;
// line ends of the text (CRLF or LF) are kept, new lines take the text's own.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);
// The value of key in [section]; nothing when absent. Reads CRLF and LF.
std::optional<std::string> IniValue(std::string_view text, std::string_view section, std::string_view key);

// Records a picture ("FLAGS" = "1") or a reset ("FLAGS" = "0") in the INI file
// at `path`, atomically, creating it when missing. False when it cannot be
// written (the old file is then unchanged).
bool RecordSkinPicture(const std::string& path, bool chosen, std::string_view picture);
// The picture to restore at start: "IMAGE" when "FLAGS" is "1"; nothing otherwise.
std::optional<std::string> RecordedSkinPicture(const std::string& path);

} // namespace velkor
