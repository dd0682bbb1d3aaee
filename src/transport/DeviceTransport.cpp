#include "transport/DeviceTransport.h"

#include "platform/Trace.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace velkor {
namespace {

constexpr uint32_t kWiredTimeoutMs = 1000;
constexpr uint32_t kReceiverTimeoutMs = 5000;
constexpr uint32_t kReceiverQuickTimeoutMs = 500;
constexpr uint8_t kReceiverSilent = 0xAA;

// Counts an exchange as busy on every way into and out of a transaction.
struct BusyGuard {
    std::atomic<int>& count;
    explicit BusyGuard(std::atomic<int>& c) : count(c) { ++count; }
    ~BusyGuard() { --count; }
};

// 32 bytes of a frame as one trace line: groups of four, three blanks between
// the first four groups and two between the others.
std::string FrameLine(const uint8_t* bytes) {
    std::string line;
    for (int group = 0; group < 8; ++group) {
        if (group > 0) {
            line += group < 4 ? "   " : "  ";
        }
        const uint8_t* g = bytes + group * 4;
        char text[12];
        std::snprintf(text, sizeof text, "%02x %02x %02x %02x", g[0], g[1], g[2], g[3]);
        line += text;
    }
    return line;
}

// The heading and the frame's two lines as one unit, so that the dumps of two
// devices never mix.
void TraceFrame(std::string_view heading, const uint8_t* frame) {
    TraceLines({heading, FrameLine(frame), FrameLine(frame + 32)});
}

} // namespace

const char* ResultMeaning(int result) {
    switch (result) {
    case kResultOk:
        return "success";
    case kResultNoReply:
        return "not open, or no reply from the device";
    case kResultWriteFailed:
        return "writing the request failed";
    case kResultReceiverSilent:
        return "the receiver answered that the wireless device is silent (off or out of range)";
    case kResultStatusFF:
        return "the device refused the command (status 0xFF)";
    case kResultStatusFE:
        return "the device refused the command (status 0xFE)";
    case kResultBadBank:
        return "key-table bank other than 0";
    default:
        return "unknown result";
    }
}

uint16_t FrameChecksum(const uint8_t* frame) {
    uint32_t sum = 0;
    for (size_t i = 3; i < kReportSize; ++i) {
        sum += frame[i];
    }
    return static_cast<uint16_t>(sum);
}

void SealFrame(Frame& frame) {
    uint16_t sum = FrameChecksum(frame.data());
    frame[1] = static_cast<uint8_t>(sum & 0xFF);
    frame[2] = static_cast<uint8_t>(sum >> 8);
}

int ApplyStatusRule(int transactionResult, const uint8_t* reply) {
    if (transactionResult != kResultOk) {
        return transactionResult;
    }
    if (reply[7] == 0xFF) {
        return kResultStatusFF;
    }
    if (reply[7] == 0xFE) {
        return kResultStatusFE;
    }
    return kResultOk;
}

DeviceTransport::DeviceTransport(HidBackend& backend) : m_wired(backend), m_receiver(backend) {}

DeviceTransport::~DeviceTransport() {
    m_open = false;
    m_wired.Close();
    m_receiver.Close();
}

void DeviceTransport::SelectChannel(int type) {
    if (type == static_cast<int>(ChannelType::Receiver)) {
        m_receiverSelected = true;
        m_chunkSize = kReceiverChunkSize;
    } else {
        m_receiverSelected = false;
        m_chunkSize = kWiredChunkSize;
    }
}

bool DeviceTransport::Open(ChannelType channel, std::string_view path, bool select) {
    std::lock_guard lock(m_ioLock);
    m_open = false;
    HidInterface& hid = MutableChannel(channel);
    hid.Close();
    if (!hid.Open(path, true, true, true, false)) {
        return false;
    }
    // Selected before the transport counts as open, so that no exchange goes
    // to the other channel meanwhile.
    if (select) {
        SelectChannel(static_cast<int>(channel));
    }
    m_open = true;
    return true;
}

bool DeviceTransport::ResumeSelected() {
    std::lock_guard lock(m_ioLock);
    if (!ActiveChannel().IsOpen()) {
        return false;
    }
    m_open = true;
    return true;
}

void DeviceTransport::Close() {
    m_open = false;
    m_wired.Close();
    m_receiver.Close();
}

void DeviceTransport::CloseChannel(ChannelType channel) {
    MutableChannel(channel).Close();
}

bool DeviceTransport::OpenListening(ChannelType channel, std::string_view path) {
    std::lock_guard lock(ListeningLock(channel));
    ListeningMark(channel) = false;
    HidInterface& hid = MutableChannel(channel);
    hid.Close();
    if (!hid.Open(path, true, true, true, false)) {
        return false;
    }
    ListeningMark(channel) = true;
    return true;
}

void DeviceTransport::CloseListening(ChannelType channel) {
    std::lock_guard lock(ListeningLock(channel));
    ListeningMark(channel) = false;
    MutableChannel(channel).Close();
}

DeviceTransport::EventRead DeviceTransport::ReadEvent(ChannelType channel, uint32_t timeoutMs,
                                                      uint16_t& code) {
    if (!ListeningMark(channel)) {
        return EventRead::None;
    }
    HidInterface& hid = MutableChannel(channel);
    std::array<uint8_t, 512> report{};
    size_t length = 0;
    if (!hid.Read(report.data(), report.size(), &length, timeoutMs)) {
        return EventRead::None;
    }
    // A report that does not decode carries no event.
    if (length == 0 || !hid.UnpackInput(report.data(), length)) {
        return EventRead::Report;
    }
    code = hid.FirstInputUsage();
    return EventRead::Event;
}

bool DeviceTransport::SetDataSize(uint16_t size) {
    if (size > kMaxDataSize) {
        return false;
    }
    m_dataSize = size;
    return true;
}

int DeviceTransport::Transact(const uint8_t* request, size_t requestLength, uint8_t* reply,
                              size_t replyLength, size_t* bytesRead) {
    return TransactImpl(request, requestLength, reply, replyLength, bytesRead, false);
}

int DeviceTransport::TransactQuick(const uint8_t* request, size_t requestLength, uint8_t* reply,
                                   size_t replyLength, size_t* bytesRead) {
    return TransactImpl(request, requestLength, reply, replyLength, bytesRead, true);
}

int DeviceTransport::TransactImpl(const uint8_t* request, size_t requestLength, uint8_t* reply,
                                  size_t replyLength, size_t* bytesRead, bool quick, Contention contention) {
    std::unique_lock exchange(m_exchangeLock, std::defer_lock);
    if (contention == Contention::Drop && !exchange.try_lock()) {
        return kResultDropped;
    }
    // Counted busy before waiting, so that live chunks give way to a waiting exchange.
    BusyGuard busy(m_busy);
    if (!exchange.owns_lock()) {
        exchange.lock();
    }
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    if (!m_open || request == nullptr || reply == nullptr || replyLength == 0) {
        return kResultNoReply;
    }

    Frame frame{};
    std::memcpy(frame.data(), request, std::min(requestLength, kReportSize));
    if (!quick && TraceEnabled()) {
        TraceFrame("命令", frame.data());
    }

    const bool onReceiver = m_receiverSelected;
    const uint32_t timeout =
        onReceiver ? (quick ? kReceiverQuickTimeoutMs : kReceiverTimeoutMs) : kWiredTimeoutMs;
    HidInterface& channel = onReceiver ? m_receiver : m_wired;

    bool written;
    {
        std::lock_guard lock(m_ioLock);
        written = channel.Write(frame.data(), kReportSize, nullptr, timeout);
    }
    if (!written) {
        return kResultWriteFailed;
    }

    int result = kResultNoReply;
    const size_t wanted = std::min(replyLength, kReportSize);
    {
        std::lock_guard lock(m_ioLock);
        for (int attempt = 0; attempt < 2; ++attempt) {
            // A failed or short read must not be judged on the bytes of an
            // earlier reply: start every read from a clean buffer.
            std::memset(reply, 0, wanted);
            size_t got = 0;
            bool ok = channel.Read(reply, wanted, &got, timeout);
            if (bytesRead != nullptr) {
                *bytesRead = got;
            }
            // A reply too short to carry the echo byte counts as no reply.
            result = ok && got > 3 ? kResultOk : kResultNoReply;
            // The echo counts only on a vendor report: another report ID is not our reply.
            const bool ours = reply[0] == frame[0];
            if (result == kResultOk && ours && reply[3] == frame[3]) {
                break;
            }
            if (result == kResultOk && ours && onReceiver && reply[3] == kReceiverSilent) {
                result = kResultReceiverSilent;
                break;
            }
        }
    }
    if (!quick && TraceEnabled()) {
        Frame shown{};
        std::memcpy(shown.data(), reply, wanted);
        TraceFrame("返回", shown.data());
    }
    return result;
}

bool DeviceTransport::WriteWiredOutput(const uint8_t* report, size_t length, uint32_t timeoutMs) {
    size_t moved = 0;
    return report != nullptr && length > 0 && m_wired.Write(report, length, &moved, timeoutMs) &&
           moved == length;
}

} // namespace velkor
