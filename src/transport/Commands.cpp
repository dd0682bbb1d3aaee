// The command set of the vendor protocol: frames, paging, locks and results.
#include "transport/DeviceTransport.h"

#include "platform/Trace.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace velkor {
namespace {

constexpr uint8_t kLinkUp = 0xFF;
constexpr uint8_t kRecoilChunkSize = 56;

void PutOffset(Frame& frame, uint32_t offset) {
    frame[5] = static_cast<uint8_t>(offset & 0xFF);
    frame[6] = static_cast<uint8_t>((offset >> 8) & 0xFF);
}

} // namespace

int DeviceTransport::SendFrame(Frame& frame, Frame& reply, Lock lock, bool quick) {
    SealFrame(frame);
    int result;
    if (lock == Lock::Command) {
        std::lock_guard guard(m_commandLock);
        result = Transact(frame.data(), frame.size(), reply.data(), reply.size(), nullptr);
    } else if (lock == Lock::Lighting) {
        std::lock_guard guard(m_lightingLock);
        // A live chunk (quick) is dropped rather than wait for another exchange.
        result = quick ? TransactImpl(frame.data(), frame.size(), reply.data(), reply.size(), nullptr, true,
                                      Contention::Drop)
                       : Transact(frame.data(), frame.size(), reply.data(), reply.size(), nullptr);
    } else {
        result = Transact(frame.data(), frame.size(), reply.data(), reply.size(), nullptr);
    }
    return ApplyStatusRule(result, reply.data());
}

int DeviceTransport::SingleFrame(Command code, uint8_t byte4, uint16_t offset, Frame* replyOut) {
    Frame frame{};
    frame[0] = kVendorReportId;
    frame[3] = static_cast<uint8_t>(code);
    frame[4] = byte4;
    PutOffset(frame, offset);
    Frame reply{};
    int result = SendFrame(frame, reply, Lock::Command, false);
    if (replyOut != nullptr) {
        *replyOut = reply;
    }
    return result;
}

int DeviceTransport::PagedRead(Command code, uint8_t* destination, size_t length, uint32_t baseOffset) {
    const uint8_t chunk = m_chunkSize;
    if (destination == nullptr || chunk == 0) {
        return kResultNoReply;
    }
    Frame frame{};
    frame[0] = kVendorReportId;
    frame[3] = static_cast<uint8_t>(code);
    for (size_t p = 0; p < length; p += chunk) {
        const size_t n = p + chunk < length ? chunk : length - p;
        frame[4] = static_cast<uint8_t>(n);
        PutOffset(frame, baseOffset + static_cast<uint32_t>(p));
        Frame reply{};
        if (int result = SendFrame(frame, reply, Lock::Command, false); result != kResultOk) {
            return result;
        }
        std::memcpy(destination + p, reply.data() + kFrameDataOffset, n);
    }
    return kResultOk;
}

int DeviceTransport::PagedWrite(Command code, const uint8_t* source, size_t length, uint32_t baseOffset,
                                Lock lock, uint8_t chunk, bool dropWhileBusy, const ChunkObserver* observer) {
    if (source == nullptr || chunk == 0) {
        return kResultNoReply;
    }
    // One buffer for every chunk: bytes past a short last chunk keep the
    // previous chunk's data, as the device expects them covered by the checksum.
    Frame frame{};
    frame[0] = kVendorReportId;
    frame[3] = static_cast<uint8_t>(code);
    for (size_t p = 0; p < length; p += chunk) {
        const size_t n = p + chunk < length ? chunk : length - p;
        frame[4] = static_cast<uint8_t>(n);
        PutOffset(frame, baseOffset + static_cast<uint32_t>(p));
        std::memcpy(frame.data() + kFrameDataOffset, source + p, n);
        if (dropWhileBusy && m_busy > 0) {
            // A live frame never waits behind another exchange.
            Trace("放弃灯光数据");
            continue;
        }
        Frame reply{};
        const int result = SendFrame(frame, reply, lock, dropWhileBusy);
        if (result == kResultDropped) {
            Trace("放弃灯光数据"); // another exchange began after the check
            continue;
        }
        if (result != kResultOk) {
            return result;
        }
        if (observer != nullptr && *observer && !(*observer)()) {
            return kResultNoReply;
        }
    }
    return kResultOk;
}

int DeviceTransport::BeginSession() { return SingleFrame(Command::BeginSession, 0, 0, nullptr); }

int DeviceTransport::EndSession(int /*flag*/) {
    // The device needs a moment after the last write of a series.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return SingleFrame(Command::EndSession, 0, 0, nullptr);
}

int DeviceTransport::TakeLightingControl() {
    return SingleFrame(Command::TakeLightingControl, 0, 0, nullptr);
}

bool DeviceTransport::QueryLink() {
    if (!m_receiverSelected) {
        return true;
    }
    Frame reply{};
    int result = SingleFrame(Command::QueryLink, 0, 0, &reply);
    return result == kResultOk && reply[kFrameDataOffset] == kLinkUp;
}

int DeviceTransport::ReadPowerStatus(uint8_t* destination, uint8_t length, uint16_t offset) {
    if (destination == nullptr || length > kFrameDataSize) {
        return kResultNoReply;
    }
    Frame reply{};
    int result = SingleFrame(Command::ReadPowerStatus, length, offset, &reply);
    if (result == kResultOk) {
        std::memcpy(destination, reply.data() + kFrameDataOffset, length);
    }
    return result;
}

int DeviceTransport::ReadDeviceInfo(uint8_t* destination) {
    if (destination == nullptr) {
        return kResultNoReply;
    }
    uint8_t block[kDeviceInfoSize] = {};
    int result = PagedRead(Command::ReadDeviceInfo, block, sizeof block, 0);
    if (result == kResultOk) {
        std::memcpy(destination, block, sizeof block);
    }
    return result;
}

int DeviceTransport::ReadParams(uint8_t* destination, uint16_t length, uint16_t baseOffset) {
    return PagedRead(Command::ReadParams, destination, length, baseOffset);
}

int DeviceTransport::WriteParams(const uint8_t* source, uint16_t length, uint16_t baseOffset) {
    return PagedWrite(Command::WriteParams, source, length, baseOffset, Lock::Command, m_chunkSize, false);
}

int DeviceTransport::ReadKeyTable(uint8_t* destination) {
    return PagedRead(Command::ReadKeyTable, destination, m_dataSize, 0);
}

int DeviceTransport::WriteKeyTable(const uint8_t* source, int bank, const ChunkObserver& observer) {
    if (bank != 0) {
        return kResultBadBank;
    }
    return PagedWrite(Command::WriteKeyTable, source, m_dataSize, 0, Lock::Command, m_chunkSize, false,
                      &observer);
}

int DeviceTransport::ReadKeyLightMap(uint8_t* destination) {
    return PagedRead(Command::ReadKeyLightMap, destination, m_dataSize / 3, 0);
}

int DeviceTransport::ReadColourTable(uint8_t* destination, uint16_t length, int tableIndex, int stride) {
    if (tableIndex < 0 || stride < 0) {
        return kResultNoReply;
    }
    return PagedRead(Command::ReadColourTable, destination, length,
                     static_cast<uint32_t>(tableIndex) * static_cast<uint32_t>(stride));
}

int DeviceTransport::WriteColourTable(const uint8_t* source, uint16_t length, int tableIndex, int stride) {
    if (tableIndex < 0 || stride < 0) {
        return kResultNoReply;
    }
    return PagedWrite(Command::WriteColourTable, source, length,
                      static_cast<uint32_t>(tableIndex) * static_cast<uint32_t>(stride), Lock::Lighting,
                      m_chunkSize, false);
}

int DeviceTransport::SendLiveColours(const uint8_t* source, uint16_t length) {
    return PagedWrite(Command::SendLiveColours, source, length, 0, Lock::Lighting, m_chunkSize, true);
}

int DeviceTransport::WriteMacroData(const uint8_t* source, uint16_t length, const ChunkObserver& observer) {
    return PagedWrite(Command::WriteMacroData, source, length, 0, Lock::Command, m_chunkSize, false,
                      &observer);
}

int DeviceTransport::WriteRecoilData(const uint8_t* source, uint16_t length) {
    return PagedWrite(Command::WriteRecoilData, source, length, 0, Lock::None, kRecoilChunkSize, false);
}

} // namespace velkor
