#include "toolkit/drop_target.h"

#include "toolkit/frame.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <vector>

std::uint32_t DropTarget::dragEnter(platform::DropData* data, std::uint32_t keyState) {
    accept = false;
    if (!data) return platform::kDropEffectNone;
    if (data->canSupplyText() || data->canSupplyFiles()) {
        accept = true;
        return dragOver(keyState);
    }
    return platform::kDropEffectNone;
}

std::uint32_t DropTarget::dragOver(std::uint32_t keyState) {
    if (!accept) return platform::kDropEffectNone;
    return (keyState & platform::kMkControl) ? platform::kDropEffectCopy
                                             : platform::kDropEffectMove;
}

void DropTarget::dragLeave() {}

void DropTarget::drop(platform::DropData* data, std::uint32_t) {
    if (frame && data) {
        const char* text = nullptr;
        std::size_t size = 0;
        if (data->fetchText(&text, &size)) {
            dropText(text, size);
        } else {
            const int count = data->fetchFileCount();
            if (count > 0) dropFiles(data, count);
        }
    }
    dragLeave();
}

void DropTarget::dropText(const char* text, std::size_t size) {
    // A block too large for the views' byte count is not handed over cut short.
    if (!text || size == 0 || size > std::size_t(std::numeric_limits<std::int32_t>::max())) return;
    void* items[1] = {const_cast<char*>(text)};
    frame->onDrop(items, static_cast<std::int32_t>(size), 1, frame->getCurrentMouseLocation());
}

void DropTarget::dropFiles(platform::DropData* data, int count) {
    // The names are made one by one, so a list that claims more files than memory holds
    // ends in no drop rather than in an exception through the platform's drag and drop.
    std::vector<std::unique_ptr<char[]>> names;
    std::vector<void*> items;
    try {
        char name[kNameCapacity];
        for (int i = 0; i < count; ++i) {
            name[0] = 0;
            if (!data->fetchFileName(i, name, kNameCapacity)) continue;
            name[kNameCapacity - 1] = 0;
            platform::resolveShortcut(name, kNameCapacity);
            name[kNameCapacity - 1] = 0;
            auto block = std::make_unique<char[]>(kNameCapacity);
            std::copy(name, name + kNameCapacity, block.get());
            items.push_back(block.get());
            names.push_back(std::move(block));
        }
    } catch (const std::bad_alloc&) {
        return;
    }
    if (items.empty()) return;
    frame->onDrop(items.data(), static_cast<std::int32_t>(items.size()), 0,
                  frame->getCurrentMouseLocation());
}
