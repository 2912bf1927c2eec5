#include "host/module.h"

void* moduleInstance = nullptr;
bool editorCreationFailed = false;
