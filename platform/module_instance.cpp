#include "platform/module_instance.h"

platform::ModuleHandle moduleInstance = nullptr;
