#include "app/AudioToolLink.h"

#include "devices/SupportedDevices.h"
#include "platform/Trace.h"

#include <algorithm>

namespace velkor {
namespace {

void PutWord(std::vector<uint8_t>& bytes, size_t index, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[index * 4 + i] = uint8_t(value >> (8 * i));
    }
}

} // namespace

std::vector<uint8_t> ToolLinkAnswer(const DeviceCatalog& catalog) {
    std::vector<uint8_t> bytes(kToolLinkBytes, 0);
    size_t word = 0;
    for (uint32_t value : {2u, 3u, 0u, 2u}) {
        PutWord(bytes, word++, value);
    }
    const auto models = catalog.Models();
    PutWord(bytes, word++, uint32_t(models.size()));
    for (const ModelDescription& model : models) {
        PutWord(bytes, word++, model.vendorId);
        PutWord(bytes, word++, model.cable.productId);
        PutWord(bytes, word++, uint32_t(model.deviceClass));
    }
    return bytes;
}

std::vector<uint8_t> ToolStyleColour(int32_t red, int32_t green, int32_t blue) {
    std::vector<uint8_t> bytes(kToolStyleBytes, 0);
    const auto level = [](int32_t v) { return uint32_t(std::clamp(v, 0, 9)); };
    PutWord(bytes, 0, level(red));
    PutWord(bytes, 1, std::max(level(green), 1u)); // the tool reads a green of 0 as unset
    PutWord(bytes, 2, level(blue));
    return bytes;
}

AudioToolLink::AudioToolLink(Broadcast broadcast) : m_broadcast(std::move(broadcast)) {
    m_guard->link = this;
}

AudioToolLink::~AudioToolLink() {
    DetachWatch();
}

void AudioToolLink::DetachWatch() {
    std::lock_guard lock(m_guard->mutex);
    m_guard->link = nullptr;
    m_guard->dispatcher = nullptr;
}

bool AudioToolLink::Watch(const WatchName& watch, ui::Dispatcher& dispatcher) {
    if (!watch || m_shutDown) {
        return false;
    }
    {
        std::lock_guard lock(m_guard->mutex);
        m_guard->dispatcher = &dispatcher;
    }
    std::weak_ptr<Guard> weak = m_guard;
    const int owned = watch(kAudioToolBusName, [weak](bool present) {
        const std::shared_ptr<Guard> guard = weak.lock();
        if (!guard) {
            return;
        }
        std::lock_guard lock(guard->mutex);
        if (guard->dispatcher == nullptr) {
            return;
        }
        guard->dispatcher->Post([guard, present] {
            // On the user-interface thread, as is every detach: no lock is needed to read link.
            if (guard->link != nullptr) {
                guard->link->SetPresent(present);
            }
        });
    });
    if (owned < 0) {
        Trace("audio tool: its bus name cannot be watched");
        return false;
    }
    SetPresent(owned == 1);
    return true;
}

void AudioToolLink::SetPresent(bool present) {
    if (m_shutDown || present == m_present) {
        return;
    }
    m_present = present;
    TraceF("audio tool %s", present ? "present" : "gone");
    if (present) {
        SendGreeting();
    } else {
        m_state = -1;
        m_detail = 0;
    }
    Changed();
}

void AudioToolLink::OnLinkRequest() {
    if (m_shutDown) {
        return;
    }
    m_present = true;
    SendGreeting();
    Changed();
}

bool AudioToolLink::OnStatus(int32_t state, int32_t detail) {
    if (m_shutDown || state < int32_t(AudioToolState::Capturing) ||
        state > int32_t(AudioToolState::NoSuchSource)) {
        return false;
    }
    m_state = state;
    m_detail = detail;
    static constexpr const char* kStates[] = {"capturing at %d Hz", "waiting for the sound server",
                                              "no such source"};
    TraceF((std::string("audio tool: ") + kStates[state]).c_str(), detail);
    Changed();
    return true;
}

void AudioToolLink::SendGreeting() {
    Emit(MakeCopyData(BusMessageKind::AudioToolData, kCopyDataToolLink, ToolLinkAnswer()));
    if (m_style) {
        const auto& c = *m_style;
        Emit(MakeCopyData(BusMessageKind::AudioToolData, kCopyDataToolStyle,
                          ToolStyleColour(c[0], c[1], c[2])));
    }
}

bool AudioToolLink::Emit(const BusMessage& message) {
    if (!m_broadcast) {
        return false;
    }
    if (!m_broadcast(message)) {
        TraceF("audio tool: %s not sent", BusMessageInfoOf(message.kind).member);
        return false;
    }
    return true;
}

bool AudioToolLink::Send(int32_t id, int32_t value) {
    if (m_shutDown || !m_present) {
        return false;
    }
    if (id != kToolParameterRed && id != kToolParameterGreen && id != kToolParameterBlue) {
        return false;
    }
    return Emit(MakeBusMessage(BusMessageKind::AudioToolParameter, id, std::clamp(value, 0, 255)));
}

bool AudioToolLink::SetStyleColour(int32_t red, int32_t green, int32_t blue) {
    if (m_shutDown) {
        return false;
    }
    m_style = std::array<int32_t, 3>{std::clamp(red, 0, 9), std::clamp(green, 0, 9), std::clamp(blue, 0, 9)};
    if (!m_present) {
        return false;
    }
    return Emit(
        MakeCopyData(BusMessageKind::AudioToolData, kCopyDataToolStyle, ToolStyleColour(red, green, blue)));
}

void AudioToolLink::TellToEnd() {
    if (m_shutDown || !m_present) {
        return;
    }
    for (int32_t parameter : {kToolParameterPause, kToolParameterRelease, kToolParameterEnd}) {
        Emit(MakeBusMessage(BusMessageKind::AudioToolParameter, parameter, 0));
    }
}

void AudioToolLink::Shutdown() {
    if (m_shutDown) {
        return;
    }
    TellToEnd();
    m_shutDown = true;
    m_present = false;
    DetachWatch();
}

AudioToolLink::Status AudioToolLink::LastStatus() const {
    return Status{m_present, m_present ? m_state : -1, m_present ? m_detail : 0};
}

} // namespace velkor
