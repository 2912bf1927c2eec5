#include "resources/bitmap_resources.h"

const BitmapResource* findBitmapResource(int id) {
    const int wanted = id & 0xFFFF;
    for (size_t i = 0; i < trobBitmapResourceCount; ++i)
        if (trobBitmapResources[i].id == wanted) return &trobBitmapResources[i];
    return nullptr;
}
