#pragma once
// The editor base bound to the toolkit: owns the frame while the editor is open, forwards
// keys and the wheel to it, drives its idle redrawing, and keeps the window painted and the
// host alive while a control tracks the mouse in its own loop (`idlePump`).

#include "host/editor_base.h"

#include <cstdint>

class Frame;

class GuiEditor : public EditorBase {
public:
    explicit GuiEditor(EffectBaseX* effect);
    ~GuiEditor() override;

    std::int32_t editGetRect(EditorRect** rectOut) override;
    std::int32_t open(void* parent) override;
    void idle() override;
    std::int32_t onKeyDown(KeyCode& key) override;
    std::int32_t onKeyUp(KeyCode& key) override;
    std::int32_t setEditKnobMode(std::int32_t mode) override;
    bool onWheel(float distance) override;

    virtual void setParameter(std::int32_t index, float value);
    virtual void redraw(void* rect);
    virtual void idlePump();

    void sleepFor(std::int32_t milliseconds);
    Frame* getFrame() const { return frame; }

protected:
    // Closes the editor's frame (at once, or once a mouse call under way has returned) and
    // forgets it.
    void closeFrame();

    Frame* frame;
    std::uint32_t nextIdleTicks;
    bool insideHostIdle;
    // The size reported to the host when the platform shows the editor enlarged.
    EditorRect shownRect;
};
