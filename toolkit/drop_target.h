#pragma once
// What the frame registers for its window with the platform's drag and drop. While data is
// dragged over the window it answers whether a drop would be taken (copy with Control held,
// move otherwise); on the drop it hands text or file names to the frame's `onDrop` at the
// current mouse location. The platform owns the object from registration until the
// registration is revoked.

#include "platform/windowing.h"

#include <cstdint>

class Frame;

class DropTarget : public platform::DropReceiver {
public:
    // Longest file name handed to the views, terminator included.
    static constexpr int kNameCapacity = 1024;

    explicit DropTarget(Frame* frame) : frame(frame) {}

    std::uint32_t dragEnter(platform::DropData* data, std::uint32_t keyState) override;
    std::uint32_t dragOver(std::uint32_t keyState) override;
    void dragLeave() override;
    void drop(platform::DropData* data, std::uint32_t keyState) override;

    bool accepts() const { return accept; }

private:
    void dropText(const char* text, std::size_t size);
    void dropFiles(platform::DropData* data, int count);

    bool accept = false; // what is dragged over the window is text or a file list
    Frame* frame;        // not owned
};
