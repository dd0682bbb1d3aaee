#include "sdk/SdkWire.h"

#include <algorithm>
#include <cstring>

namespace velkor::sdk {

namespace {

constexpr uint8_t kMagic[4] = {'O', 'R', 'G', 'B'};

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out) : m_out(out) {}
    void U16(uint16_t v) {
        m_out.push_back(uint8_t(v));
        m_out.push_back(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) {
            m_out.push_back(uint8_t(v >> shift));
        }
    }
    void I32(int32_t v) { U32(uint32_t(v)); }
    // Longer strings are cut: the length field has 16 bits.
    void Text(std::string_view text) {
        const size_t length = std::min<size_t>(text.size(), 0xFFFE);
        U16(uint16_t(length + 1));
        m_out.insert(m_out.end(), text.begin(), text.begin() + std::ptrdiff_t(length));
        m_out.push_back(0);
    }
    void Colours(const std::vector<Colour>& colours) {
        U16(uint16_t(std::min<size_t>(colours.size(), 0xFFFF)));
        for (size_t i = 0; i < colours.size() && i < 0xFFFF; ++i) {
            U32(colours[i]);
        }
    }
    size_t Size() const { return m_out.size(); }
    void PatchU32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            m_out[at + size_t(i)] = uint8_t(v >> (8 * i));
        }
    }

private:
    std::vector<uint8_t>& m_out;
};

// Every read checks the bytes left first; one failed read fails the rest.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    bool Ok() const { return m_ok; }
    size_t Left() const { return m_ok ? m_bytes.size() - m_at : 0; }
    uint16_t U16() {
        if (!Need(2)) {
            return 0;
        }
        const uint16_t v = uint16_t(m_bytes[m_at] | m_bytes[m_at + 1] << 8);
        m_at += 2;
        return v;
    }
    uint32_t U32() {
        if (!Need(4)) {
            return 0;
        }
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i) {
            v |= uint32_t(m_bytes[m_at + i]) << (8 * i);
        }
        m_at += 4;
        return v;
    }
    int32_t I32() { return int32_t(U32()); }
    std::string Text() {
        const uint16_t length = U16();
        if (!Need(length)) {
            return {};
        }
        const auto begin = m_bytes.begin() + std::ptrdiff_t(m_at);
        std::string text(begin, begin + length);
        m_at += length;
        if (const size_t zero = text.find('\0'); zero != std::string::npos) {
            text.resize(zero);
        }
        return text;
    }
    std::vector<Colour> Colours() {
        const uint16_t count = U16();
        std::vector<Colour> colours;
        if (!Need(size_t(count) * 4)) {
            return colours;
        }
        colours.reserve(count);
        for (uint16_t i = 0; i < count; ++i) {
            colours.push_back(U32());
        }
        return colours;
    }
    // A count of items of at least `minimum` bytes each that the bytes left can hold.
    bool Plausible(uint32_t count, size_t minimum) {
        if (size_t(count) * minimum > Left()) {
            m_ok = false;
        }
        return m_ok;
    }

private:
    bool Need(size_t n) {
        if (!m_ok || m_bytes.size() - m_at < n) {
            m_ok = false;
        }
        return m_ok;
    }
    std::span<const uint8_t> m_bytes;
    size_t m_at = 0;
    bool m_ok = true;
};

void WriteMode(Writer& w, const Mode& mode, uint32_t version) {
    w.Text(mode.name);
    w.I32(mode.value);
    w.U32(mode.flags);
    w.U32(mode.speedMin);
    w.U32(mode.speedMax);
    if (version >= 3) {
        w.U32(mode.brightnessMin);
        w.U32(mode.brightnessMax);
    }
    w.U32(mode.coloursMin);
    w.U32(mode.coloursMax);
    w.U32(mode.speed);
    if (version >= 3) {
        w.U32(mode.brightness);
    }
    w.U32(mode.direction);
    w.U32(uint32_t(mode.colourMode));
    w.Colours(mode.colours);
}

Mode ReadMode(Reader& r, uint32_t version) {
    Mode mode;
    mode.name = r.Text();
    mode.value = r.I32();
    mode.flags = r.U32();
    mode.speedMin = r.U32();
    mode.speedMax = r.U32();
    if (version >= 3) {
        mode.brightnessMin = r.U32();
        mode.brightnessMax = r.U32();
    }
    mode.coloursMin = r.U32();
    mode.coloursMax = r.U32();
    mode.speed = r.U32();
    if (version >= 3) {
        mode.brightness = r.U32();
    }
    mode.direction = r.U32();
    mode.colourMode = ColourMode(r.U32());
    mode.colours = r.Colours();
    return mode;
}

void WriteZone(Writer& w, const Zone& zone, uint32_t version) {
    w.Text(zone.name);
    w.I32(int32_t(zone.type));
    w.U32(zone.ledCount); // the size cannot change: minimum, maximum and count alike
    w.U32(zone.ledCount);
    w.U32(zone.ledCount);
    const bool matrix = zone.type == ZoneType::Matrix && !zone.matrix.empty();
    if (matrix) {
        w.U16(uint16_t(8 + 4 * zone.matrix.size()));
        w.U32(zone.matrixHeight);
        w.U32(zone.matrixWidth);
        for (uint32_t led : zone.matrix) {
            w.U32(led);
        }
    } else {
        w.U16(0);
    }
    if (version >= 4) {
        w.U16(0); // no segments
    }
    if (version >= 5) {
        w.U32(0); // zone flags
    }
}

Zone ReadZone(Reader& r, uint32_t version) {
    Zone zone;
    zone.name = r.Text();
    zone.type = ZoneType(r.I32());
    r.U32();
    r.U32();
    zone.ledCount = r.U32();
    const uint16_t matrixBytes = r.U16();
    if (matrixBytes != 0) {
        zone.matrixHeight = r.U32();
        zone.matrixWidth = r.U32();
        const uint64_t cells = uint64_t(zone.matrixHeight) * zone.matrixWidth;
        if (matrixBytes < 8 || cells != (matrixBytes - 8u) / 4 || !r.Plausible(uint32_t(cells), 4)) {
            r.Plausible(UINT32_MAX, 4); // fails the reader
            return zone;
        }
        zone.matrix.reserve(size_t(cells));
        for (uint64_t i = 0; i < cells; ++i) {
            zone.matrix.push_back(r.U32());
        }
    }
    if (version >= 4) {
        const uint16_t segments = r.U16();
        if (segments != 0) {
            r.Plausible(UINT32_MAX, 4); // this server never sends any
        }
    }
    if (version >= 5) {
        r.U32();
    }
    return zone;
}

} // namespace

HeaderCheck ReadHeader(std::span<const uint8_t> bytes, Header& header) {
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, 4) != 0) {
        return HeaderCheck::BadMagic;
    }
    Reader r(bytes.subspan(4, 12));
    header.deviceIndex = r.U32();
    header.packetId = r.U32();
    header.size = r.U32();
    return header.size > kMaxPacketSize ? HeaderCheck::TooLarge : HeaderCheck::Ok;
}

void AppendHeader(std::vector<uint8_t>& out, uint32_t deviceIndex, uint32_t packetId, uint32_t size) {
    out.insert(out.end(), std::begin(kMagic), std::end(kMagic));
    Writer w(out);
    w.U32(deviceIndex);
    w.U32(packetId);
    w.U32(size);
}

std::vector<uint8_t> MakePacket(uint32_t deviceIndex, uint32_t packetId, std::span<const uint8_t> payload) {
    std::vector<uint8_t> packet;
    packet.reserve(kHeaderSize + payload.size());
    AppendHeader(packet, deviceIndex, packetId, uint32_t(payload.size()));
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

std::vector<uint8_t> DescribeController(const Controller& c, uint32_t version) {
    version = std::min(version, kSdkProtocolVersion);
    std::vector<uint8_t> out;
    Writer w(out);
    w.U32(0); // the whole size, patched below
    w.I32(int32_t(c.type));
    w.Text(c.name);
    if (version >= 1) {
        w.Text(c.vendor);
    }
    w.Text(c.description);
    w.Text(c.version);
    w.Text(c.serial);
    w.Text(c.location);
    w.U16(uint16_t(c.modes.size()));
    w.I32(c.activeMode);
    for (const Mode& mode : c.modes) {
        WriteMode(w, mode, version);
    }
    w.U16(uint16_t(c.zones.size()));
    for (const Zone& zone : c.zones) {
        WriteZone(w, zone, version);
    }
    w.U16(uint16_t(c.leds.size()));
    for (const Led& led : c.leds) {
        w.Text(led.name);
        w.U32(led.value);
    }
    w.Colours(c.colours);
    if (version >= 5) {
        w.U16(0); // no alternative LED names
        w.U32(0); // controller flags
    }
    w.PatchU32(0, uint32_t(w.Size()));
    return out;
}

std::optional<Controller> ReadController(std::span<const uint8_t> payload, uint32_t version) {
    Reader r(payload);
    Controller c;
    if (r.U32() != payload.size()) {
        return std::nullopt;
    }
    c.type = DeviceType(r.I32());
    c.name = r.Text();
    if (version >= 1) {
        c.vendor = r.Text();
    }
    c.description = r.Text();
    c.version = r.Text();
    c.serial = r.Text();
    c.location = r.Text();
    const uint16_t modes = r.U16();
    c.activeMode = r.I32();
    for (uint16_t i = 0; i < modes && r.Plausible(1, 30); ++i) {
        c.modes.push_back(ReadMode(r, version));
    }
    const uint16_t zones = r.U16();
    for (uint16_t i = 0; i < zones && r.Plausible(1, 20); ++i) {
        c.zones.push_back(ReadZone(r, version));
    }
    const uint16_t leds = r.U16();
    for (uint16_t i = 0; i < leds && r.Plausible(1, 6); ++i) {
        Led led;
        led.name = r.Text();
        led.value = r.U32();
        c.leds.push_back(std::move(led));
    }
    c.colours = r.Colours();
    if (version >= 5) {
        for (uint16_t names = r.U16(), i = 0; i < names && r.Ok(); ++i) {
            r.Text();
        }
        r.U32();
    }
    if (!r.Ok() || r.Left() != 0) {
        return std::nullopt;
    }
    return c;
}

void AppendMode(std::vector<uint8_t>& out, const Mode& mode, uint32_t version) {
    Writer w(out);
    WriteMode(w, mode, version);
}

std::optional<ModeRequest> ReadModeRequest(std::span<const uint8_t> payload, uint32_t version) {
    Reader r(payload);
    const uint32_t size = r.U32();
    ModeRequest request;
    request.index = r.I32();
    request.mode = ReadMode(r, version);
    // The size counts itself; trailing bytes past a whole mode are refused too.
    if (!r.Ok() || r.Left() != 0 || size != payload.size()) {
        return std::nullopt;
    }
    return request;
}

std::optional<std::vector<Colour>> ReadLedsRequest(std::span<const uint8_t> payload) {
    Reader r(payload);
    const uint32_t size = r.U32();
    std::vector<Colour> colours = r.Colours();
    if (!r.Ok() || r.Left() != 0 || size != payload.size()) {
        return std::nullopt;
    }
    return colours;
}

std::optional<ZoneLedsRequest> ReadZoneLedsRequest(std::span<const uint8_t> payload) {
    Reader r(payload);
    const uint32_t size = r.U32();
    ZoneLedsRequest request;
    request.zone = r.U32();
    request.colours = r.Colours();
    if (!r.Ok() || r.Left() != 0 || size != payload.size()) {
        return std::nullopt;
    }
    return request;
}

std::optional<SingleLedRequest> ReadSingleLedRequest(std::span<const uint8_t> payload) {
    Reader r(payload);
    SingleLedRequest request;
    request.led = r.I32();
    request.colour = r.U32();
    if (!r.Ok() || r.Left() != 0) {
        return std::nullopt;
    }
    return request;
}

std::string ReadTextPayload(std::span<const uint8_t> payload) {
    std::string text(payload.begin(), payload.end());
    if (const size_t zero = text.find('\0'); zero != std::string::npos) {
        text.resize(zero);
    }
    return text;
}

std::vector<uint8_t> DescribeProfiles(std::span<const std::string> names) {
    std::vector<uint8_t> out;
    Writer w(out);
    w.U32(0);
    w.U16(uint16_t(std::min<size_t>(names.size(), 0xFFFF)));
    for (const std::string& name : names) {
        w.Text(name);
    }
    w.PatchU32(0, uint32_t(w.Size()));
    return out;
}

} // namespace velkor::sdk
