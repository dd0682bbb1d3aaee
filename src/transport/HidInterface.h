#pragma once
// One HID interface: an enumerator (a list of interface paths with a cursor)
// and an open interface (a handle with its capabilities) at the same time.
// It never touches the OS itself; a HidBackend (hidraw, the simulator, a
// test double) does, so the same object works on real and simulated devices.
#include "transport/HidBackend.h"
#include "transport/HidDescriptor.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velkor {

// Capabilities of an open interface (top-level collection).
struct HidCaps {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    uint16_t featureReportLength = 0;
    uint16_t numberInputButtonCaps = 0;
    uint16_t numberInputValueCaps = 0;
};

// One entry of the input item table: a button capability or one value usage.
struct HidDataItem {
    bool isButton = false;
    uint16_t usagePage = 0;
    HidStatus status = HidStatus::Success; // of the last decoding call
    uint8_t reportId = 0;
    bool isSet = false; // filled by an input report
    // Button part.
    uint16_t usageMin = 0;
    uint16_t usageMax = 0;
    std::vector<uint16_t> usages; // max usage count entries; on-usages first, then 0
    // Value part.
    uint16_t usage = 0;
    uint32_t value = 0;
    int32_t scaledValue = 0;
};

class HidInterface {
public:
    // Longest path accepted by Open (characters, without terminator).
    static constexpr size_t kMaxPathLength = 259;

    explicit HidInterface(HidBackend& backend);
    ~HidInterface();
    HidInterface(const HidInterface&) = delete;
    HidInterface& operator=(const HidInterface&) = delete;

    // Replaces the path list with every present interface and resets the
    // cursor. True when the enumeration ran to its end.
    bool Enumerate();
    // The next path, or null when the list is empty or exhausted (an empty
    // entry also reads as null). Valid until the next Enumerate or ReleaseList.
    const char* NextPath();
    void ReleaseList();
    size_t PathCount() const { return m_paths.size(); }

    // Stores the flags and the path, then Reopen(). A path over 259 characters
    // is not opened. True when open with capabilities loaded.
    bool Open(std::string_view path, bool wantRead, bool wantWrite, bool overlapped, bool shareReadOnly);
    // Close, then open again with the stored path and flags.
    bool Reopen();
    // Ends a waiting Read or Write (they return false) and closes. Safe to call
    // from another thread than the one transferring.
    void Close();
    bool IsOpen() const;

    // Whole-report transfers. `transferred` (may be null) is 0 before the
    // transfer and what moved afterwards, also on failure. kHidInfinite waits
    // until a report arrives, Close() is called or InterruptRead ends it.
    bool Read(uint8_t* buffer, size_t count, size_t* transferred, uint32_t timeoutMs);
    // Ends the Read waiting now (it returns false), or the next one when none
    // waits; the handle stays open (HidHandle::InterruptRead). Nothing when
    // closed. Safe from another thread.
    void InterruptRead();
    bool Write(const uint8_t* buffer, size_t count, size_t* transferred, uint32_t timeoutMs);

    // Fills every input item of the report's ID. False when a value usage
    // cannot be decoded (button items before it stay filled).
    bool UnpackInput(const uint8_t* report, size_t length);

    const std::string& Path() const { return m_path; }
    const HidCaps& Caps() const { return m_caps; }
    const HidAttributes& Attributes() const { return m_attributes; }
    const std::vector<HidDataItem>& InputItems() const { return m_inputItems; }
    std::vector<uint8_t>& InputReportBuffer() { return m_inputReport; }
    // The first usage of the first input item: the event code of an event channel (0 when none).
    uint16_t FirstInputUsage() const;
    // Why the last Open failed, as the back end tells it (may be empty).
    const std::string& LastOpenError() const { return m_lastOpenError; }
    HidBackend& Backend() const { return m_backend; }

private:
    bool LoadCapabilities();
    void FreeCapabilities();
    std::shared_ptr<HidHandle> CurrentHandle() const;

    HidBackend& m_backend;
    std::vector<std::string> m_paths;
    size_t m_cursor = 0;
    HidOpenFlags m_flags;
    std::string m_path;
    std::string m_lastOpenError;

    mutable std::mutex m_handleMutex; // guards the handle pointer only, never a transfer
    std::shared_ptr<HidHandle> m_handle;

    HidReportDescriptor m_descriptor;
    int m_collectionIndex = -1;
    HidCaps m_caps;
    HidAttributes m_attributes;
    std::vector<uint8_t> m_inputReport;
    std::vector<HidDataItem> m_inputItems;
    std::atomic<bool> m_reading{false};
    std::atomic<bool> m_writing{false};
};

} // namespace velkor
