#pragma once
// The mouse's recoil patterns as files: one per gun in the user data folder
// (a default copy of each in the default data folder), a JSON object whose
// "Events" hold six macro events per bullet; and the event block the mouse's
// recoil memory takes. Pure functions over files; any thread.
//
// Bullet b owns the events 6b .. 6b + 5:
//   6b      "down" type 1 button 1 delay 10   (left button pressed)
//   6b + 1  "up"   type 1 button 1 delay 0
//   6b + 2  horizontal move ("down" = left, "up" = right), type 4, distance, delay 5
//   6b + 3  vertical move ("down" = up, "up" = down), type 5, distance, the bullet's delay
//   6b + 4  horizontal direction, type 4, 0, 0
//   6b + 5  vertical direction, type 5, 0, 0
// "Type", "Button" and "Delay" are JSON integers in these files.
#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velkor {

class CJsonFileHelper;

inline constexpr int kRecoilGunCount = 4;
inline constexpr int kRecoilBulletCount = 30;
inline constexpr int kRecoilEventsPerBullet = 6;
// A file holds at most this many events (30 bullets); the block refuses more.
inline constexpr int kMaxRecoilEvents = kRecoilBulletCount * kRecoilEventsPerBullet;
inline constexpr int kMaxRecoilDistance = 255; // what the mouse keeps of a distance
inline constexpr int kMaxRecoilDelay = 65535;  // and of a delay (ms)

// "ShootData_" + gun + ".Shoot"
std::string RecoilFileName(int gun);
// `folder` ends in '/'.
std::string RecoilFilePath(const std::string& folder, int gun);

struct RecoilBullet {
    int horizontal = 0; // distance
    int vertical = 0;   // distance
    int delay = 0;      // ms
    bool left = false;  // else right
    bool up = false;    // else down
    bool operator==(const RecoilBullet&) const = default;
};

// The bullet of a document. Missing elements or members, and members of other
// JSON types, read as 0 and "up" (right, down); never throws.
RecoilBullet ReadRecoilBullet(const Json::Value& document, int bullet);

// Writes the six events of `bullet` into document["Events"] (an object is made
// of a non-object document, an array of a non-array "Events"; missing elements
// before them become null). Distances are limited to 0..255, the delay to
// 0..65535. Every other member and element stays as it was.
void WriteRecoilBullet(Json::Value& document, int bullet, const RecoilBullet& value);

// The recoil memory's block: four records, record g from the file of gun g in
// `folder` (a missing or unreadable file, or one without an "Events" array,
// gives an empty record).
struct RecoilBlock {
    std::vector<std::uint8_t> block; // empty when refused
    // A file with more than kMaxRecoilEvents events: the first such gun (-1: none).
    int oversizedGun = -1;
    bool Ok() const { return !block.empty(); }
};
RecoilBlock BuildRecoilBlock(const std::string& folder, const CJsonFileHelper& json);

} // namespace velkor
