#include "toolkit/drop_target.h"

#include "toolkit/frame.h"

#include <vector>

void DropTarget::dropText(const char* text, int size) {
    if (!frame || !text || size <= 0) return;
    void* items[1] = {const_cast<char*>(text)};
    frame->onDrop(items, size, 1, frame->getCurrentMouseLocation());
}

void DropTarget::dropFiles(const char* const* names, int count) {
    if (!frame || !names || count <= 0) return;
    std::vector<void*> items;
    for (int i = 0; i < count; ++i)
        if (names[i]) items.push_back(const_cast<char*>(names[i]));
    if (items.empty()) return;
    frame->onDrop(items.data(), static_cast<std::int32_t>(items.size()), 0,
                  frame->getCurrentMouseLocation());
}
