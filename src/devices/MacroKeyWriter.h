#pragma once
// The KeyWriter role of keyboards and mice, on top of what a kind gives: its
// snapshot (PrepareMacroWrite), its command transport and where it keeps the
// key table the device holds. Remembers the block last written whole, so
// that a key-table write alone renumbers macro keys only against it.
//
// User-interface thread.
#include "devices/DeviceRoles.h"

#include <cstdint>
#include <vector>

namespace velkor {

class MacroKeyWriter : public KeyWriter {
public:
    MacroList ListMacros() override;
    int WriteKeyAssignments(int bank, const std::vector<KeyListEntry>& keys) override;
    int WriteMacros(const MacroList& macros) override;
    MacroWriteOutcome WriteMacrosAndKeys(int bank) override;
    MacroMemoryUse MacroMemory() override;
    void FinishMacroWrite(const MacroWriteOutcome& outcome) override;

protected:
    virtual DeviceTransport& MacroTransport() = 0;
    // The key table the device now holds.
    virtual void TakeKeyTable(const KeyTableImage& table) = 0;
    // The block this program last wrote whole (empty: none known).
    const std::vector<std::uint8_t>& BlockInDevice() const { return m_blockInDevice; }
    // After a layout read: what the device holds is no longer known.
    void ForgetBlockInDevice() { m_blockInDevice.clear(); }

private:
    MacroWriteOutcome Run(const MacroWriteRequest& request);

    std::vector<std::uint8_t> m_blockInDevice;
};

} // namespace velkor
