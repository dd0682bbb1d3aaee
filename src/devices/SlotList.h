#pragma once
// The slot list: the working copy of the supported-device table whose
// attached flag and path follow the interfaces present. One slot per table
// row, in table order, so a slot index is a row index and a slot's partner
// field is a slot index too.
//
// The scan thread claims and releases slots; the user-interface thread reads
// copies while it handles attach and detach. Every operation is thread-safe.
#include "devices/SupportedDevices.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velkor {

class SlotList {
public:
    // One absent slot per row of the catalog's supported-device table. The
    // catalog must outlive the list.
    explicit SlotList(const DeviceCatalog& catalog = BuiltInCatalog());

    const DeviceCatalog& Catalog() const { return m_catalog; }

    int Size() const { return int(m_slots.size()); }
    // A copy of the slot; nullopt outside the list.
    std::optional<SupportedDevice> At(int index) const;
    // Attached and holding a path.
    bool IsPresent(int index) const;
    // Some slot is absent (neither attached nor holding a path).
    bool AnyAbsent() const;
    // Some absent slot has this vendor, product, interface and collection number.
    bool HasAbsentSlot(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber,
                       uint16_t collection) const;
    // Claims the first absent slot equal to table row `row` in vendor, product,
    // interface, collection, usage page and usage: marks it attached and stores
    // `path`. Returns its index, or -1 when none is absent (or `path` is empty).
    int Claim(const SupportedDevice& row, const std::string& path);
    // Marks a present slot absent. False when it was absent or outside the list.
    bool Release(int index);
    // The present slots: index and path.
    std::vector<std::pair<int, std::string>> PresentSlots() const;
    // The slot has a partner that names it back and is present.
    bool PartnerPresent(int index) const;

private:
    bool PresentLocked(int index) const;

    const DeviceCatalog& m_catalog;
    mutable std::mutex m_mutex;
    std::vector<SupportedDevice> m_slots;
};

} // namespace velkor
