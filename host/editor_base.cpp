#include "host/editor_base.h"

#include "host/effect_base_x.h"

std::int32_t editKnobMode = 0;

EditorBase::EditorBase(EffectBaseX* owner)
    : effect(owner), parentWindow(nullptr), updatePending(0), rect{} {
    if (effect) effect->attachEditor(this);
}

EditorBase::~EditorBase() = default;

std::int32_t EditorBase::editGetRect(EditorRect** rectOut) {
    if (rectOut) *rectOut = nullptr;
    return 0;
}

std::int32_t EditorBase::open(void* parent) {
    parentWindow = parent;
    return 0;
}

void EditorBase::close() {}

void EditorBase::idle() {
    if (updatePending) {
        updatePending = 0;
        performUpdate();
    }
}

void EditorBase::performUpdate() {}
void EditorBase::requestUpdate() {
    updatePending = 1;
}
std::int32_t EditorBase::onKeyDown(KeyCode&) {
    return -1;
}
std::int32_t EditorBase::onKeyUp(KeyCode&) {
    return -1;
}
std::int32_t EditorBase::setEditKnobMode(std::int32_t) {
    return 0;
}
bool EditorBase::onWheel(float) {
    return false;
}
