#pragma once
// The two calls of the system's blending library, process-wide: each frame loads the library
// and fills them in; null when the system does not have them.
#include "platform/draw.h"

struct BlendEntries {
    platform::AlphaBlendProc AlphaBlend = nullptr;
    platform::TransparentBltProc TransparentBlt = nullptr;
};

extern BlendEntries blendEntries;
