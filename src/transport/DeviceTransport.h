#pragma once
// The vendor-protocol channel of one device: 64-byte reports with report ID 4,
// a 16-bit byte-sum checksum, a command byte the device echoes and a status
// byte in the reply, over a wired and a receiver HidInterface.
//
// The transport opens and closes its channels itself: a command transport
// through Open / ResumeSelected / Close / CloseChannel, an event transport
// through OpenListening / CloseListening, read with ReadEvent. It takes its
// own locks; owners never lock and see the state through the accessors only.
#include "transport/HidInterface.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

namespace velkor {

// Results of a transaction and of the commands (1 = success).
enum : int {
    kResultOk = 1,
    kResultNoReply = 0, // not open, or no reply read
    kResultWriteFailed = -1,
    kResultReceiverSilent = -101, // the receiver answered 0xAA: the wireless device did not answer
    kResultStatusFF = -102,
    kResultStatusFE = -103,
    kResultBadBank = -201, // key-table write asked for a bank other than 0
};
// Short English meaning of a result code, for tools and messages.
const char* ResultMeaning(int result);

constexpr size_t kReportSize = 64;
constexpr uint8_t kVendorReportId = 0x04;
constexpr size_t kFrameDataOffset = 8;
constexpr size_t kFrameDataSize = kReportSize - kFrameDataOffset; // 56
constexpr uint16_t kMaxDataSize = 512;
constexpr uint8_t kWiredChunkSize = 56;
constexpr uint8_t kReceiverChunkSize = 24;
constexpr size_t kDeviceInfoSize = 34;

using Frame = std::array<uint8_t, kReportSize>;

// Command codes (byte 3).
enum class Command : uint8_t {
    BeginSession = 0x01,
    EndSession = 0x02,
    ReadDeviceInfo = 0x03,
    ReadParams = 0x05,
    WriteParams = 0x06,
    ReadKeyTable = 0x07,
    WriteKeyTable = 0x09,
    ReadColourTable = 0x0A,
    WriteColourTable = 0x0B,
    SendLiveColours = 0x12,
    WriteMacroData = 0x15,
    WriteRecoilData = 0x17,
    ReadPowerStatus = 0x1A,
    ReadKeyLightMap = 0x1B,
    TakeLightingControl = 0x1C,
    QueryLink = 0xAA,
};

// Sum of bytes 3..63 of a frame.
uint16_t FrameChecksum(const uint8_t* frame);
// Writes the checksum into bytes 1 and 2 (low byte first).
void SealFrame(Frame& frame);

enum class ChannelType : int { Wired = 1, Receiver = 2 };

// Told after each chunk of a long write that the device accepted; returning
// false ends the write there with result 0 (a stop was asked for).
using ChunkObserver = std::function<bool()>;

class DeviceTransport {
public:
    // Both channels are created on `backend`, closed.
    explicit DeviceTransport(HidBackend& backend);
    ~DeviceTransport();
    DeviceTransport(const DeviceTransport&) = delete;
    DeviceTransport& operator=(const DeviceTransport&) = delete;

    // Type 2: receiver channel, chunk size 24; any other type: wired, chunk size 56.
    void SelectChannel(int type);
    // False (size unchanged) when size > 512.
    bool SetDataSize(uint16_t size);
    uint16_t DataSize() const { return m_dataSize.load(); }

    // Sends one request (padded with zeros or cut to 64 bytes; report ID and
    // checksum already in place) and reads the reply into `reply`
    // (`replyLength` bytes, at most 64 are looked at). Returns 1, 0, -1 or -101.
    int Transact(const uint8_t* request, size_t requestLength, uint8_t* reply, size_t replyLength,
                 size_t* bytesRead);
    // Transact without trace lines and with a 500 ms receiver time-out (live colour frames).
    int TransactQuick(const uint8_t* request, size_t requestLength, uint8_t* reply, size_t replyLength,
                      size_t* bytesRead);

    // --- The command set (each returns the first failing frame's result, else 1). ---
    int BeginSession();
    int EndSession(int flag = 1); // sleeps 10 ms before its frame; the flag is ignored
    // Copies the 34-byte block to `destination` only when every chunk succeeded.
    int ReadDeviceInfo(uint8_t* destination);
    int ReadParams(uint8_t* destination, uint16_t length, uint16_t baseOffset);
    int WriteParams(const uint8_t* source, uint16_t length, uint16_t baseOffset);
    int ReadKeyTable(uint8_t* destination); // data size bytes
    // Data size bytes; bank != 0 gives -201.
    int WriteKeyTable(const uint8_t* source, int bank, const ChunkObserver& observer = {});
    int ReadColourTable(uint8_t* destination, uint16_t length, int tableIndex, int stride = 512);
    int WriteColourTable(const uint8_t* source, uint16_t length, int tableIndex, int stride = 512);
    // Chunks are dropped (and count as accepted) while the transport is busy.
    int SendLiveColours(const uint8_t* source, uint16_t length);
    int WriteMacroData(const uint8_t* source, uint16_t length, const ChunkObserver& observer = {});
    int WriteRecoilData(const uint8_t* source, uint16_t length); // fixed 56-byte chunks, no lock
    int ReadPowerStatus(uint8_t* destination, uint8_t length, uint16_t offset);
    int ReadKeyLightMap(uint8_t* destination); // data size / 3 bytes
    int TakeLightingControl();
    // Writes one whole output report on the wired channel's handle, taking
    // none of the transport's locks (the report is complete in itself and may
    // interleave with an exchange). False when the channel is closed or the
    // write fails or moves less than the report.
    bool WriteWiredOutput(const uint8_t* report, size_t length, uint32_t timeoutMs);
    // True at once on the wired channel; on the receiver true only when the
    // wireless device answered (reply byte 8 = 0xFF, status not 0xFF/0xFE).
    bool QueryLink();

    // ---- The command channel (owner: the attach logic) ----
    // Opens `path` on `channel` under the I/O lock: the transport is marked
    // closed, the channel's old handle closed and the new one opened; on
    // success the channel is selected when `select` is set, and only then is
    // the transport marked open. False (and still closed) when the open failed.
    bool Open(ChannelType channel, std::string_view path, bool select = true);
    // Marks the transport open again on the channel already selected, when
    // that channel's handle is open (a failed switch to the cable goes on
    // through the receiver). False otherwise.
    bool ResumeSelected();
    // Marks the transport closed and closes both channels. Not under the I/O
    // lock: closing cancels a transfer still waiting on a channel.
    void Close();
    // Closes one channel's handle; the open mark stays as it is.
    void CloseChannel(ChannelType channel);
    bool IsOpen() const { return m_open; }
    bool OnReceiver() const { return m_receiverSelected; }
    bool ChannelOpen(ChannelType channel) const { return Channel(channel).IsOpen(); }
    uint8_t ChunkSize() const { return m_chunkSize; }
    bool IsBusy() const { return m_busy > 0; }
    // Exchanges under way or waiting for their turn.
    int BusyCount() const { return m_busy; }
    // The device's synchronised-lighting flag; the transport does not interpret it.
    void SetSyncLighting(bool on) { m_syncLighting = on; }
    bool SyncLighting() const { return m_syncLighting; }
    HidBackend& Backend() const { return m_wired.Backend(); }
    // Read-only inspection (tests, tools).
    const HidInterface& Channel(ChannelType channel) const {
        return channel == ChannelType::Receiver ? m_receiver : m_wired;
    }

    // ---- Event channels ----
    // In an event transport both channels may be open at once, each read by
    // its own thread; no command goes through them.
    // Opens `path` on `channel` (the old handle closed first; the I/O lock for
    // the wired channel, the channel lock for the receiver) and marks it
    // listening on success.
    bool OpenListening(ChannelType channel, std::string_view path);
    // Clears the mark and closes the channel (same locks).
    void CloseListening(ChannelType channel);
    bool Listening(ChannelType channel) const { return ListeningMark(channel); }
    enum class EventRead { None, Report, Event };
    // Reads one input report of a listening channel, waiting at most
    // `timeoutMs` (kHidInfinite: no limit), without a lock so that
    // CloseListening cancels it. None: nothing came, the read failed, was
    // interrupted or the channel is not listening. Report: a report without
    // an event (empty, or it does not decode). Event: `code` is its first
    // input usage.
    EventRead ReadEvent(ChannelType channel, uint32_t timeoutMs, uint16_t& code);
    // Ends the channel's ReadEvent waiting now (None), or its next one when
    // none waits; the channel stays open. Any thread.
    void InterruptEventRead(ChannelType channel) { MutableChannel(channel).InterruptRead(); }

private:
    HidInterface& ActiveChannel() { return m_receiverSelected ? m_receiver : m_wired; }
    HidInterface& MutableChannel(ChannelType channel) {
        return channel == ChannelType::Receiver ? m_receiver : m_wired;
    }
    // The lock that guards replacing an event channel's handle.
    std::mutex& ListeningLock(ChannelType channel) {
        return channel == ChannelType::Receiver ? m_channelLock : m_ioLock;
    }
    const std::atomic<bool>& ListeningMark(ChannelType channel) const {
        return channel == ChannelType::Receiver ? m_receiverListening : m_wiredListening;
    }
    std::atomic<bool>& ListeningMark(ChannelType channel) {
        return channel == ChannelType::Receiver ? m_receiverListening : m_wiredListening;
    }

    enum class Lock { Command, Lighting, None };
    // How an exchange meets another one in progress: it waits for it, or
    // (a live colour chunk) it is dropped.
    enum class Contention { Wait, Drop };
    // Never leaves the transport: a dropped live chunk counts as accepted.
    static constexpr int kResultDropped = 2;
    int TransactImpl(const uint8_t* request, size_t requestLength, uint8_t* reply, size_t replyLength,
                     size_t* bytesRead, bool quick, Contention contention = Contention::Wait);
    // Seals the frame, sends it under `lock` and applies the status rule.
    int SendFrame(Frame& frame, Frame& reply, Lock lock, bool quick);
    int SingleFrame(Command code, uint8_t byte4, uint16_t offset, Frame* replyOut);
    int PagedRead(Command code, uint8_t* destination, size_t length, uint32_t baseOffset);
    // dropWhileBusy: the live-colour rule (skip chunks while busy, quick transaction).
    int PagedWrite(Command code, const uint8_t* source, size_t length, uint32_t baseOffset, Lock lock,
                   uint8_t chunkSize, bool dropWhileBusy, const ChunkObserver* observer = nullptr);

    std::atomic<uint16_t> m_dataSize{kMaxDataSize};
    // Exchanges in progress or waiting for their turn.
    std::atomic<int> m_busy{0};
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_syncLighting{false};
    std::atomic<bool> m_receiverSelected{false};
    std::atomic<uint8_t> m_chunkSize{kReceiverChunkSize};
    std::atomic<bool> m_wiredListening{false};
    std::atomic<bool> m_receiverListening{false};
    HidInterface m_wired;
    HidInterface m_receiver;
    std::mutex m_ioLock;
    // Held from a request's write to its reply's read, so that exchanges of
    // two threads never interleave on the channel and take each other's replies.
    std::mutex m_exchangeLock;
    std::mutex m_channelLock;
    std::mutex m_commandLock;
    std::mutex m_lightingLock;
};

// The status rule: a transaction result other than 1 is the result; with 1,
// status 0xFF gives -102, 0xFE gives -103, anything else 1.
int ApplyStatusRule(int transactionResult, const uint8_t* reply);

} // namespace velkor
