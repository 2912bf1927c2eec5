#include "toolkit/blend_entries.h"

BlendEntries blendEntries;
