#include "host/module.h"

bool editorCreationFailed = false;
