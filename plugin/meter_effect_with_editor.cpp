#include "plugin/meter_effect_with_editor.h"

#include <cstring>

MeterEffectWithEditor::MeterEffectWithEditor(HostCallback hostCallback)
    : MeterEffect(hostCallback) {
    setRecordUniqueId(19281);
    // The editor attaches itself here once the editor subsystem exists; until then the
    // effect presents no editor.
}

void MeterEffectWithEditor::setParameter(std::int32_t index, float value) {
    MeterEffect::setParameter(index, value);
}

bool MeterEffectWithEditor::getEffectName(char* text) {
    std::strcpy(text, "TROBEdit");
    return true;
}

bool MeterEffectWithEditor::getProductString(char* text) {
    std::strcpy(text, "TROBEdit");
    return true;
}

std::int32_t MeterEffectWithEditor::getVendorVersion() {
    return 1000;
}
