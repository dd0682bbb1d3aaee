// The headset's card by libudev and its mixer by alsa-lib.
#include "platform/audio/HeadsetCard.h"

#include <libudev.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace velkor::linuxaudio {

namespace {

bool AttrIs(udev_device* device, const char* name, uint16_t expected) {
    const char* text = udev_device_get_sysattr_value(device, name);
    return text != nullptr && std::strtoul(text, nullptr, 16) == expected;
}

} // namespace

std::optional<std::string> FindHeadsetCard(const std::string& named) {
    if (!named.empty()) {
        return named;
    }
    udev* context = udev_new();
    if (context == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    udev_enumerate* enumerate = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumerate, "sound");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        udev_device* card = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (card == nullptr) {
            continue;
        }
        const char* number = udev_device_get_sysattr_value(card, "number");
        // The parent is owned by the child: not unreferenced here.
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(card, "usb", "usb_device");
        if (number != nullptr && usb != nullptr && AttrIs(usb, "idVendor", kHeadsetVendor) &&
            AttrIs(usb, "idProduct", kHeadsetProduct)) {
            found = std::string("hw:") + number;
        }
        udev_device_unref(card);
        if (found) {
            break;
        }
    }
    udev_enumerate_unref(enumerate);
    udev_unref(context);
    return found;
}

CardMixer::~CardMixer() {
    if (m_mixer != nullptr) {
        snd_mixer_close(m_mixer);
    }
}

int32_t CardMixer::Open(const std::string& device) {
    if (snd_mixer_open(&m_mixer, 0) < 0) {
        m_mixer = nullptr;
        return kCardGone;
    }
    if (snd_mixer_attach(m_mixer, device.c_str()) < 0 || snd_mixer_selem_register(m_mixer, nullptr, nullptr) < 0 ||
        snd_mixer_load(m_mixer) < 0) {
        snd_mixer_close(m_mixer);
        m_mixer = nullptr;
        return kCardGone;
    }
    return kOk;
}

snd_mixer_elem_t* CardMixer::Find(MixerGroup group, bool wantSwitch, bool& capture) const {
    if (m_mixer == nullptr) {
        return nullptr;
    }
    auto element = [this](const char* name) {
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_name(id, name);
        snd_mixer_selem_id_set_index(id, 0);
        return snd_mixer_find_selem(m_mixer, id);
    };
    if (group == MixerGroup::Microphone) {
        capture = true;
        snd_mixer_elem_t* mic = element("Mic");
        const bool has = mic != nullptr && (wantSwitch ? snd_mixer_selem_has_capture_switch(mic)
                                                       : snd_mixer_selem_has_capture_volume(mic));
        return has ? mic : nullptr;
    }
    // Monitoring is the side-tone: a control of its own, or Mic's playback side.
    capture = false;
    for (const char* name : {"Sidetone", "Mic"}) {
        snd_mixer_elem_t* candidate = element(name);
        if (candidate != nullptr && (wantSwitch ? snd_mixer_selem_has_playback_switch(candidate)
                                                : snd_mixer_selem_has_playback_volume(candidate))) {
            return candidate;
        }
    }
    return nullptr;
}

int32_t CardMixer::GetLevel(MixerGroup group, RawLevel& level) {
    bool capture = false;
    snd_mixer_elem_t* element = Find(group, false, capture);
    if (element == nullptr) {
        return kNoSuchControl;
    }
    const snd_mixer_selem_channel_id_t channel = SND_MIXER_SCHN_FRONT_LEFT;
    const int got = capture ? snd_mixer_selem_get_capture_volume_range(element, &level.min, &level.max)
                            : snd_mixer_selem_get_playback_volume_range(element, &level.min, &level.max);
    const int read = capture ? snd_mixer_selem_get_capture_volume(element, channel, &level.value)
                             : snd_mixer_selem_get_playback_volume(element, channel, &level.value);
    return got < 0 || read < 0 || level.max <= level.min ? kNoSuchControl : kOk;
}

int32_t CardMixer::SetLevel(MixerGroup group, long raw) {
    bool capture = false;
    snd_mixer_elem_t* element = Find(group, false, capture);
    if (element == nullptr) {
        return kNoSuchControl;
    }
    const int written = capture ? snd_mixer_selem_set_capture_volume_all(element, raw)
                                : snd_mixer_selem_set_playback_volume_all(element, raw);
    return written < 0 ? kCardGone : kOk;
}

int32_t CardMixer::GetMuted(MixerGroup group, bool& muted) {
    bool capture = false;
    snd_mixer_elem_t* element = Find(group, true, capture);
    if (element == nullptr) {
        return kNoSuchControl;
    }
    int on = 0;
    const int read = capture ? snd_mixer_selem_get_capture_switch(element, SND_MIXER_SCHN_FRONT_LEFT, &on)
                             : snd_mixer_selem_get_playback_switch(element, SND_MIXER_SCHN_FRONT_LEFT, &on);
    muted = on == 0;
    return read < 0 ? kCardGone : kOk;
}

int32_t CardMixer::SetMuted(MixerGroup group, bool muted) {
    bool capture = false;
    snd_mixer_elem_t* element = Find(group, true, capture);
    if (element == nullptr) {
        return kNoSuchControl;
    }
    const int written = capture ? snd_mixer_selem_set_capture_switch_all(element, muted ? 0 : 1)
                                : snd_mixer_selem_set_playback_switch_all(element, muted ? 0 : 1);
    return written < 0 ? kCardGone : kOk;
}

int32_t CardMixer::GetDbRange(MixerGroup group, DbRange& range) {
    bool capture = false;
    snd_mixer_elem_t* element = Find(group, false, capture);
    RawLevel level;
    if (element == nullptr || GetLevel(group, level) != kOk) {
        return kNoSuchControl;
    }
    long min = 0;
    long max = 0;
    const int got = capture ? snd_mixer_selem_get_capture_dB_range(element, &min, &max)
                            : snd_mixer_selem_get_playback_dB_range(element, &min, &max);
    if (got < 0) {
        return kNoSuchControl; // the card states no decibel scale
    }
    // alsa-lib counts in hundredths of a decibel.
    range.min = min / 100.0;
    range.max = max / 100.0;
    range.step = (range.max - range.min) / double(level.max - level.min);
    return kOk;
}

int32_t CardMixer::GetDb(MixerGroup group, double& db) {
    bool capture = false;
    snd_mixer_elem_t* element = Find(group, false, capture);
    if (element == nullptr) {
        return kNoSuchControl;
    }
    long value = 0;
    const int read = capture ? snd_mixer_selem_get_capture_dB(element, SND_MIXER_SCHN_FRONT_LEFT, &value)
                             : snd_mixer_selem_get_playback_dB(element, SND_MIXER_SCHN_FRONT_LEFT, &value);
    db = value / 100.0;
    return read < 0 ? kNoSuchControl : kOk;
}

int32_t CardMixer::SetDb(MixerGroup group, double db) {
    bool capture = false;
    snd_mixer_elem_t* element = Find(group, false, capture);
    if (element == nullptr || !std::isfinite(db)) {
        return kNoSuchControl;
    }
    const long value = std::lround(std::clamp(db, -200.0, 200.0) * 100.0);
    const int written = capture ? snd_mixer_selem_set_capture_dB_all(element, value, 0)
                                : snd_mixer_selem_set_playback_dB_all(element, value, 0);
    return written < 0 ? kNoSuchControl : kOk;
}

} // namespace velkor::linuxaudio
