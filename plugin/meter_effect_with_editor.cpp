#include "plugin/meter_effect_with_editor.h"

#include "editor/meter_editor.h"
#include "host/module.h"

#include <cstring>
#include <new>

MeterEffectWithEditor::MeterEffectWithEditor(HostCallback hostCallback)
    : MeterEffect(hostCallback) {
    setRecordUniqueId(19281);
    // The editor's base attaches it (and sets effFlagsHasEditor); attaching the result once
    // more leaves the field empty and the flag clear when there was no memory for it, and
    // `main` then refuses the whole effect.
    MeterEditor* created = new (std::nothrow) MeterEditor(this);
    attachEditor(created);
    if (!created) editorCreationFailed = true;
}

void MeterEffectWithEditor::setParameter(std::int32_t index, float value) {
    MeterEffect::setParameter(index, value);
    // The only editor this effect ever attaches is its MeterEditor.
    if (editor) static_cast<MeterEditor*>(editor)->setParameter(index, value);
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
