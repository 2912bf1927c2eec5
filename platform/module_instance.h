#pragma once
// The plug-in library's own module, recorded by the library's load hook. Window classes are
// registered and bitmap resources loaded with it.
#include "platform/handles.h"

extern platform::ModuleHandle moduleInstance;
