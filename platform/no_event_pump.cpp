// The event pump of homes whose host runs the message loop: the host's loop already delivers
// every message to the window procedures.
#include "platform/windowing.h"

namespace platform {

void pumpEvents() {}

} // namespace platform
