#include "devices/SlotList.h"

namespace velkor {

SlotList::SlotList(const DeviceCatalog& catalog) : m_catalog(catalog) {
    const auto table = catalog.Interfaces();
    m_slots.assign(table.begin(), table.end());
}

std::optional<SupportedDevice> SlotList::At(int index) const {
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= int(m_slots.size())) {
        return std::nullopt;
    }
    return m_slots[size_t(index)];
}

bool SlotList::PresentLocked(int index) const {
    if (index < 0 || index >= int(m_slots.size())) {
        return false;
    }
    const SupportedDevice& slot = m_slots[size_t(index)];
    return slot.attached != 0 && !slot.path.empty();
}

bool SlotList::IsPresent(int index) const {
    std::lock_guard lock(m_mutex);
    return PresentLocked(index);
}

bool SlotList::AnyAbsent() const {
    std::lock_guard lock(m_mutex);
    for (const SupportedDevice& slot : m_slots) {
        if (slot.attached == 0 && slot.path.empty()) {
            return true;
        }
    }
    return false;
}

bool SlotList::HasAbsentSlot(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber,
                             uint16_t collection) const {
    std::lock_guard lock(m_mutex);
    for (const SupportedDevice& slot : m_slots) {
        if (slot.attached == 0 && slot.path.empty() && slot.vendorId == vendorId &&
            slot.productId == productId && slot.interfaceNumber == interfaceNumber &&
            slot.collectionNumber == collection) {
            return true;
        }
    }
    return false;
}

int SlotList::Claim(const SupportedDevice& row, const std::string& path) {
    if (path.empty()) {
        return -1; // an empty path would leave the slot looking absent
    }
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_slots.size(); ++i) {
        SupportedDevice& slot = m_slots[i];
        if (slot.attached == 0 && slot.path.empty() && slot.vendorId == row.vendorId &&
            slot.productId == row.productId && slot.interfaceNumber == row.interfaceNumber &&
            slot.collectionNumber == row.collectionNumber && slot.usagePage == row.usagePage &&
            slot.usage == row.usage) {
            slot.attached = 1;
            slot.path = path;
            return int(i);
        }
    }
    return -1;
}

bool SlotList::Release(int index) {
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= int(m_slots.size())) {
        return false;
    }
    SupportedDevice& slot = m_slots[size_t(index)];
    if (slot.attached == 0 && slot.path.empty()) {
        return false;
    }
    slot.attached = 0;
    slot.path.clear();
    return true;
}

std::vector<std::pair<int, std::string>> SlotList::PresentSlots() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::pair<int, std::string>> present;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (PresentLocked(int(i))) {
            present.emplace_back(int(i), m_slots[i].path);
        }
    }
    return present;
}

bool SlotList::PartnerPresent(int index) const {
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= int(m_slots.size())) {
        return false;
    }
    const SupportedDevice& slot = m_slots[size_t(index)];
    const int partner = slot.partner;
    // Only a mutual partnership counts: 0x511D names the receiver, which does not name it back.
    return slot.hasPartner != 0 && partner < int(m_slots.size()) &&
           m_slots[size_t(partner)].partner == index && PresentLocked(partner);
}

} // namespace velkor
