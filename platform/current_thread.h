#pragma once
// Which thread is running: a number that differs between threads alive at the same time and
// is never 0. Asking costs no allocation and no system call on any home, so the host's audio
// thread may ask.
#include <cstdint>

namespace platform {

std::uintptr_t currentThread();

} // namespace platform
