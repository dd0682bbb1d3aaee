#include "tools/MacroCommands.h"

#include "devices/RecoilUpload.h"
#include "devices/SupportedDevices.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"
#include "platform/JsonFileHelper.h"
#include "profiles/JsonFields.h"
#include "profiles/ProfileSections.h"
#include "sim/SimBackend.h"
#include "ui/Dispatcher.h"

namespace velkor {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The keyboard or mouse object for the command interface at `path`; null when it is neither.
DevicePtr MakeKeyDevice(HidBackend& backend, const std::string& path, const DeviceServices& services) {
    HidInterface probe(backend);
    if (!probe.Open(path, false, false, false, false)) {
        return nullptr;
    }
    const int row = FindSupportedRow(PathVendorId(path), PathProductId(path), PathInterfaceNumber(path),
                                     PathCollectionNumber(path), probe.Caps().usagePage, probe.Caps().usage);
    if (row < 0) {
        return nullptr;
    }
    switch (SupportedDeviceTable()[size_t(row)].kind) {
    case DeviceKind::Keyboard:
    case DeviceKind::KeyboardReceiver:
        return MakeDevice<CTolvanicKeyboardDevice>(services);
    case DeviceKind::Mouse:
    case DeviceKind::MouseReceiver:
        return MakeDevice<CTolvanicMouseDevice>(services);
    default:
        return nullptr;
    }
}

bool ReadLayout(CTolvanicUSBDevice& device) {
    if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(&device)) {
        return keyboard->ReadLayout();
    }
    auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(&device);
    return mouse != nullptr && mouse->ReadLayout();
}

// What each macro key of the simulated device plays now.
void PrintPlayback(HidBackend& backend, const std::string& path) {
    auto* simulated = dynamic_cast<sim::SimBackend*>(&backend);
    const size_t from = path.find(':');
    const size_t to = path.find('#');
    if (simulated == nullptr || from == std::string::npos || to == std::string::npos || to < from) {
        return;
    }
    const std::optional<sim::SimUnit> unit = sim::UnitFromName(path.substr(from + 1, to - from - 1));
    if (!unit) {
        return;
    }
    const sim::SimModel model = sim::ModelOfUnit(*unit);
    const std::vector<uint8_t> table = simulated->Memory(model, sim::SimMemory::KeyTable);
    const std::vector<uint8_t> info = simulated->Memory(model, sim::SimMemory::DeviceInfo);
    const size_t positions = info.size() > 5 ? info[5] : 0;
    for (size_t p = 0; p < positions && p * 3 + 2 < table.size(); ++p) {
        if (table[p * 3] == 0x70 || table[p * 3] == 0x71) {
            std::printf("position %zu plays record %u: %zu events\n", p, unsigned(table[p * 3 + 1]),
                        simulated->PlayKey(model, p).size());
        }
    }
}

int WriteMacros(HidBackend& backend, const std::string& path, const std::string& folder,
                const std::string& profilePath, const OpenCommandChannel& open) {
    std::vector<KeyListEntry> keys;
    const CJsonFileHelper json;
    const Json::Value profile = json.ReadJsonFile(profilePath);
    if (!KeyListFromJson(JsonMember(ProfileObjectOf(profile, 0), "KeyList"), keys) || keys.empty()) {
        std::fprintf(stderr, "velkorctl: %s holds no readable \"KeyList\"\n", profilePath.c_str());
        return kExitFailed;
    }
    ui::Dispatcher dispatcher;
    const SteadyTickClock clock;
    const DeviceServices services{backend, dispatcher, clock, {}};
    DevicePtr device = MakeKeyDevice(backend, path, services);
    if (!device) {
        std::fprintf(stderr, "velkorctl: %s is not the command interface of a keyboard or mouse\n",
                     path.c_str());
        return kExitFailed;
    }
    if (const int rc = open(device->Driver().CommandTransport(), path); rc != kExitOk) {
        return rc;
    }
    if (!ReadLayout(*device)) {
        std::fprintf(stderr, "velkorctl: the device's key table could not be read; nothing was written\n");
        return kExitFailed;
    }
    KeyWriter& writer = *Capability<KeyWriter>(*device);
    MacroWriteRequest request = writer.PrepareMacroWrite(MacroWriteMode::MacrosAndKeys, 0);
    request.plan.keys = keys;
    request.plan.macroFolder = folder;
    const MacroWriteOutcome outcome = RunMacroWrite(device->Driver().CommandTransport(), request);
    writer.FinishMacroWrite(outcome);
    std::printf("plan: %zu records, %zu of %zu bytes, %zu frames\n", outcome.usedMacros.size(),
                outcome.memory.needed, outcome.memory.capacity, outcome.framesPlanned);
    if (outcome.result > 0) {
        std::fprintf(stderr,
                     "velkorctl: the macros on the keys need %d more events than the device holds; "
                     "nothing was written\n",
                     outcome.result);
        return kExitFailed;
    }
    if (outcome.result != 0) {
        std::fprintf(stderr,
                     "velkorctl: the macros and keys were not written whole (%zu of %zu frames); "
                     "macro keys keep their standard function until they are\n",
                     outcome.framesSent, outcome.framesPlanned);
        return kExitFailed;
    }
    std::printf("written: %zu frames\n", outcome.framesSent);
    PrintPlayback(backend, path);
    return kExitOk;
}

// The simulated unit behind `path`, when the backend is the simulated family.
std::optional<sim::SimModel> SimulatedModel(HidBackend& backend, const std::string& path) {
    const size_t from = path.find(':');
    const size_t to = path.find('#');
    if (dynamic_cast<sim::SimBackend*>(&backend) == nullptr || from == std::string::npos ||
        to == std::string::npos || to < from) {
        return std::nullopt;
    }
    const std::optional<sim::SimUnit> unit = sim::UnitFromName(path.substr(from + 1, to - from - 1));
    return unit ? std::optional<sim::SimModel>(sim::ModelOfUnit(*unit)) : std::nullopt;
}

int WriteRecoil(HidBackend& backend, const std::string& path, std::string folder,
                const OpenCommandChannel& open) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    ui::Dispatcher dispatcher;
    const SteadyTickClock clock;
    const DeviceServices services{backend, dispatcher, clock, {}};
    DevicePtr device = MakeKeyDevice(backend, path, services);
    if (dynamic_cast<CTolvanicMouseDevice*>(device.get()) == nullptr) {
        std::fprintf(stderr, "velkorctl: %s is not the command interface of a mouse\n", path.c_str());
        return kExitFailed;
    }
    if (const int rc = open(device->Driver().CommandTransport(), path); rc != kExitOk) {
        return rc;
    }
    // No profile here: the gun keys the mouse holds go off during the upload and come back as they were.
    const RecoilUploadOutcome outcome =
        RunRecoilUpload(device->Driver().CommandTransport(),
                        RecoilUploadRequest{folder, device->Driver().CommandTransport().OnReceiver(), {}});
    switch (outcome.status) {
    case RecoilUploadStatus::Sent:
        break;
    case RecoilUploadStatus::Oversized:
        std::fprintf(stderr, "velkorctl: gun %d holds more than 30 bullets; nothing was sent\n", outcome.gun);
        return kExitFailed;
    case RecoilUploadStatus::Closed:
        std::fprintf(stderr, "velkorctl: the mouse's command channel is not open; nothing was sent\n");
        return kExitFailed;
    case RecoilUploadStatus::Unreachable:
        std::fprintf(stderr, "velkorctl: the mouse does not answer through its receiver; the recoil "
                             "memory may hold part of the block\n");
        return kExitFailed;
    case RecoilUploadStatus::Failed:
        std::fprintf(stderr, "velkorctl: the recoil block was not written whole (result %d)\n",
                     outcome.result);
        return kExitFailed;
    }
    std::printf("written: %zu bytes\n", outcome.bytes);
    if (const auto model = SimulatedModel(backend, path)) {
        const auto records = static_cast<sim::SimBackend&>(backend).RecoilRecords(*model);
        if (!records) {
            std::fprintf(stderr, "velkorctl: the simulated recoil memory does not decode\n");
            return kExitFailed;
        }
        for (size_t g = 0; g < records->size(); ++g) {
            std::printf("gun %zu: %zu events\n", g, (*records)[g].size());
        }
    }
    return kExitOk;
}

} // namespace

void PrintMacroCommandUsage(FILE* out) {
    std::fputs(
        "  write-macros PATH FOLDER PROFILE\n"
        "                            the macro keys of PROFILE's \"KeyList\" and FOLDER's macros into\n"
        "                            the keyboard or mouse at PATH (block, then key table)\n"
        "  write-recoil PATH FOLDER  FOLDER's four recoil patterns (ShootData_0..3.Shoot) into the\n"
        "                            mouse at PATH\n",
        out);
}

int RunMacroCommand(HidBackend& backend, const std::vector<std::string>& words,
                    const OpenCommandChannel& open) {
    if (!words.empty() && words[0] == "write-recoil") {
        if (words.size() != 3) {
            std::fprintf(stderr, "velkorctl: write-recoil takes PATH FOLDER\n");
            return kExitUsage;
        }
        return WriteRecoil(backend, words[1], words[2], open);
    }
    if (words.empty() || words[0] != "write-macros") {
        return -1;
    }
    if (words.size() != 4) {
        std::fprintf(stderr, "velkorctl: write-macros takes PATH FOLDER PROFILE\n");
        return kExitUsage;
    }
    return WriteMacros(backend, words[1], words[2], words[3], open);
}

} // namespace velkor
