#include "platform/current_thread.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace platform {

std::uintptr_t currentThread() {
#ifdef _WIN32
    // The system's own identity: a thread the host made without the C++ runtime gets no
    // runtime bookkeeping allocated for it by asking.
    return static_cast<std::uintptr_t>(GetCurrentThreadId());
#else
    return static_cast<std::uintptr_t>(pthread_self());
#endif
}

} // namespace platform
