#include "devices/MacroKeyWriter.h"

namespace velkor {

MacroWriteOutcome MacroKeyWriter::Run(const MacroWriteRequest& request) {
    MacroWriteOutcome outcome = RunMacroWrite(MacroTransport(), request);
    FinishMacroWrite(outcome);
    return outcome;
}

MacroList MacroKeyWriter::ListMacros() {
    const CJsonFileHelper json;
    return ListUsedMacros(PrepareMacroWrite(MacroWriteMode::MacrosAndKeys, 0).plan, json);
}

int MacroKeyWriter::WriteKeyAssignments(int bank, const std::vector<KeyListEntry>& keys) {
    MacroWriteRequest request = PrepareMacroWrite(MacroWriteMode::KeysOnly, bank);
    request.plan.keys = keys;
    return Run(request).keyResult;
}

int MacroKeyWriter::WriteMacros(const MacroList& macros) {
    MacroWriteRequest request = PrepareMacroWrite(MacroWriteMode::MacrosOnly, 0);
    request.macros = macros;
    return Run(request).result;
}

MacroWriteOutcome MacroKeyWriter::WriteMacrosAndKeys(int bank) {
    return Run(PrepareMacroWrite(MacroWriteMode::MacrosAndKeys, bank));
}

MacroMemoryUse MacroKeyWriter::MacroMemory() {
    const CJsonFileHelper json;
    return BuildMacroPlan(PrepareMacroWrite(MacroWriteMode::MacrosAndKeys, 0).plan, json).memory;
}

void MacroKeyWriter::FinishMacroWrite(const MacroWriteOutcome& outcome) {
    if (outcome.block) {
        m_blockInDevice = *outcome.block;
    } else if (outcome.blockTouched) {
        m_blockInDevice.clear(); // partly overwritten: no record of it is whole any more
    }
    if (outcome.tableInDevice) {
        TakeKeyTable(*outcome.tableInDevice);
    }
}

} // namespace velkor
