#pragma once
// The interface the host's editor opcodes reach, with do-nothing defaults.

#include <cstdint>

class EffectBaseX;
struct KeyCode;

// The editor size reported to the host: 8 bytes.
struct EditorRect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};
static_assert(sizeof(EditorRect) == 8);

// Knob mode sent by the host, shared by every editor of the process: 2 drags linearly,
// anything else circularly.
extern std::int32_t editKnobMode;

class EditorBase {
public:
    // Attaches itself to the effect (which then owns it and shows effFlagsHasEditor).
    explicit EditorBase(EffectBaseX* effect);
    virtual ~EditorBase();

    EditorBase(const EditorBase&) = delete;
    EditorBase& operator=(const EditorBase&) = delete;

    virtual std::int32_t editGetRect(EditorRect** rectOut);
    virtual std::int32_t open(void* parent);
    virtual void close();
    virtual void idle();
    virtual void performUpdate();
    virtual void requestUpdate();
    virtual std::int32_t onKeyDown(KeyCode& key);
    virtual std::int32_t onKeyUp(KeyCode& key);
    virtual std::int32_t setEditKnobMode(std::int32_t mode);
    virtual bool onWheel(float distance);

    EffectBaseX* getEffect() const { return effect; }
    void* getParentWindow() const { return parentWindow; }

protected:
    EffectBaseX* effect;
    void* parentWindow;
    std::int32_t updatePending;
    EditorRect rect;
};
