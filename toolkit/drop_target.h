#pragma once
// What the frame registers for its window with the platform's drag and drop: dropped text
// and file lists go to the frame's `onDrop` at the current mouse location. The platform owns
// the object from registration until the registration is revoked.

#include "platform/windowing.h"

class Frame;

class DropTarget : public platform::DropReceiver {
public:
    explicit DropTarget(Frame* frame) : frame(frame) {}

    void dropText(const char* text, int size) override;
    void dropFiles(const char* const* names, int count) override;

private:
    Frame* frame;
};
