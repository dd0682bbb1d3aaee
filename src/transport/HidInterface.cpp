#include "transport/HidInterface.h"

#include <algorithm>

namespace velkor {

HidInterface::HidInterface(HidBackend& backend) : m_backend(backend) {}

HidInterface::~HidInterface() {
    Close();
    ReleaseList();
}

bool HidInterface::Enumerate() {
    m_cursor = 0;
    m_paths.clear();
    std::vector<std::string> found;
    if (!m_backend.EnumeratePaths(found)) {
        return false;
    }
    m_paths = std::move(found);
    return true;
}

const char* HidInterface::NextPath() {
    if (m_cursor >= m_paths.size()) {
        return nullptr;
    }
    const std::string& path = m_paths[m_cursor++];
    // An entry the platform could not describe ends the caller's walk.
    return path.empty() ? nullptr : path.c_str();
}

void HidInterface::ReleaseList() {
    m_paths.clear();
    m_paths.shrink_to_fit();
    m_cursor = 0;
}

bool HidInterface::Open(std::string_view path, bool wantRead, bool wantWrite, bool overlapped,
                        bool shareReadOnly) {
    m_flags = HidOpenFlags{wantRead, wantWrite, overlapped, shareReadOnly};
    if (path.size() > kMaxPathLength) {
        Close();
        m_lastOpenError = "path longer than 259 characters";
        return false;
    }
    m_path.assign(path);
    return Reopen();
}

bool HidInterface::Reopen() {
    Close();
    m_lastOpenError.clear();
    if (m_path.empty()) {
        m_lastOpenError = "no path";
        return false;
    }
    std::unique_ptr<HidHandle> opened = m_backend.Open(m_path, m_flags);
    if (!opened) {
        m_lastOpenError = m_backend.LastError();
        return false;
    }
    std::shared_ptr<HidHandle> handle(std::move(opened));
    {
        std::lock_guard lock(m_handleMutex);
        m_handle = handle;
    }
    if (!LoadCapabilities()) {
        m_lastOpenError = "the interface's report descriptor could not be read";
        Close();
        return false;
    }
    return true;
}

bool HidInterface::LoadCapabilities() {
    std::shared_ptr<HidHandle> handle = CurrentHandle();
    if (!handle) {
        return false;
    }
    HidReportDescriptor descriptor;
    if (!ParseReportDescriptor(handle->ReportDescriptor(), descriptor)) {
        return false;
    }
    // Collection 0 stands for a device with a single top-level collection.
    int index = std::max(handle->CollectionNumber(), 1) - 1;
    if (index >= static_cast<int>(descriptor.collections.size())) {
        return false;
    }
    m_descriptor = std::move(descriptor);
    m_collectionIndex = index;
    m_attributes = handle->Attributes();

    const HidTopCollection& collection = m_descriptor.collections[static_cast<size_t>(index)];
    m_caps.usagePage = collection.usagePage;
    m_caps.usage = collection.usage;
    m_caps.inputReportLength = collection.inputReportLength;
    m_caps.outputReportLength = collection.outputReportLength;
    m_caps.featureReportLength = collection.featureReportLength;
    m_caps.numberInputButtonCaps = static_cast<uint16_t>(collection.inputButtonCaps.size());
    m_caps.numberInputValueCaps = static_cast<uint16_t>(collection.inputValueCaps.size());
    m_inputReport.assign(collection.inputReportLength, 0);

    m_inputItems.clear();
    for (const HidCapability& cap : collection.inputButtonCaps) {
        HidDataItem item;
        item.isButton = true;
        item.usagePage = cap.usagePage;
        item.reportId = cap.reportId;
        item.usageMin = cap.usageMin;
        item.usageMax = cap.isRange ? cap.usageMax : cap.usageMin;
        item.usages.assign(MaxUsageListLength(collection, cap.usagePage), 0);
        m_inputItems.push_back(std::move(item));
    }
    for (const HidCapability& cap : collection.inputValueCaps) {
        uint32_t last = cap.isRange ? cap.usageMax : cap.usageMin;
        for (uint32_t usage = cap.usageMin; usage <= last; ++usage) {
            HidDataItem item;
            item.usagePage = cap.usagePage;
            item.reportId = cap.reportId;
            item.usage = static_cast<uint16_t>(usage);
            m_inputItems.push_back(std::move(item));
        }
    }
    return true;
}

void HidInterface::FreeCapabilities() {
    m_descriptor = HidReportDescriptor{};
    m_collectionIndex = -1;
    m_caps = HidCaps{};
    m_attributes = HidAttributes{};
    m_inputReport.clear();
    m_inputItems.clear();
}

void HidInterface::Close() {
    std::shared_ptr<HidHandle> handle;
    {
        std::lock_guard lock(m_handleMutex);
        handle = std::move(m_handle);
        m_handle.reset();
    }
    if (handle) {
        // Always cancel: a transfer that is just about to wait must not start
        // waiting on a handle that is going away. The cancel is sticky, and a
        // waiting thread keeps its own reference until it has returned.
        handle->Cancel();
        FreeCapabilities();
    }
}

bool HidInterface::IsOpen() const {
    return CurrentHandle() != nullptr;
}

std::shared_ptr<HidHandle> HidInterface::CurrentHandle() const {
    std::lock_guard lock(m_handleMutex);
    return m_handle;
}

bool HidInterface::Read(uint8_t* buffer, size_t count, size_t* transferred, uint32_t timeoutMs) {
    m_reading = true;
    if (transferred != nullptr) {
        *transferred = 0;
    }
    bool ok = false;
    if (std::shared_ptr<HidHandle> handle = CurrentHandle(); handle && buffer != nullptr) {
        size_t moved = 0;
        ok = handle->Read(std::span<uint8_t>(buffer, count), moved, timeoutMs) == HidIoStatus::Ok;
        if (transferred != nullptr) {
            *transferred = moved;
        }
    }
    m_reading = false;
    return ok;
}

void HidInterface::InterruptRead() {
    if (std::shared_ptr<HidHandle> handle = CurrentHandle()) {
        handle->InterruptRead();
    }
}

bool HidInterface::Write(const uint8_t* buffer, size_t count, size_t* transferred, uint32_t timeoutMs) {
    m_writing = true;
    if (transferred != nullptr) {
        *transferred = 0;
    }
    bool ok = false;
    if (std::shared_ptr<HidHandle> handle = CurrentHandle(); handle && buffer != nullptr) {
        size_t moved = 0;
        ok = handle->Write(std::span<const uint8_t>(buffer, count), moved, timeoutMs) == HidIoStatus::Ok;
        if (transferred != nullptr) {
            *transferred = moved;
        }
    }
    m_writing = false;
    return ok;
}

bool HidInterface::UnpackInput(const uint8_t* report, size_t length) {
    if (report == nullptr || length == 0 || m_collectionIndex < 0) {
        return false;
    }
    const HidTopCollection& collection = m_descriptor.collections[static_cast<size_t>(m_collectionIndex)];
    std::span<const uint8_t> bytes(report, length);
    const uint8_t reportId = report[0];
    std::vector<uint16_t> on;
    for (HidDataItem& item : m_inputItems) {
        if (item.reportId != reportId) {
            continue;
        }
        if (item.isButton) {
            on.clear();
            item.status = GetUsages(collection, item.usagePage, bytes, on);
            // Keep, in order, only the usages of this item's range, then end the list with 0.
            size_t kept = 0;
            for (uint16_t usage : on) {
                if (usage >= item.usageMin && usage <= item.usageMax && kept < item.usages.size()) {
                    item.usages[kept++] = usage;
                }
            }
            std::fill(item.usages.begin() + static_cast<std::ptrdiff_t>(kept), item.usages.end(), 0);
        } else {
            uint32_t value = 0;
            item.status = GetUsageValue(collection, item.usagePage, item.usage, bytes, value);
            if (item.status != HidStatus::Success) {
                return false;
            }
            item.value = value;
            int32_t scaled = 0;
            item.status = GetScaledUsageValue(collection, item.usagePage, item.usage, bytes, scaled);
            item.scaledValue = scaled;
        }
        item.isSet = true;
    }
    return true;
}

uint16_t HidInterface::FirstInputUsage() const {
    if (m_inputItems.empty()) {
        return 0;
    }
    const HidDataItem& first = m_inputItems.front();
    // A value item carries no event code.
    return first.isButton && !first.usages.empty() ? first.usages.front() : 0;
}

} // namespace velkor
