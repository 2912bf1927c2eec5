#pragma once
// Calls that arrive from the host run through here. A C++ exception that crossed into the
// host's own frames would end the host's process, so none leaves: whatever escapes a call
// (a failed allocation inside a library container, say) becomes that call's "failed" answer.

#include <type_traits>

#if defined(__GLIBCXX__) && !defined(_WIN32)
#include <cxxabi.h>
#endif

// The failed answer is the result type's zero: 0, false, null.
template <typename Call> auto answerHostCall(Call&& call) -> std::invoke_result_t<Call&> {
    using Result = std::invoke_result_t<Call&>;
    try {
        return call();
#if defined(__GLIBCXX__) && !defined(_WIN32)
    } catch (abi::__forced_unwind&) {
        // Thread cancellation unwinds through us; it is not ours to stop.
        throw;
#endif
    } catch (...) {
        if constexpr (!std::is_void_v<Result>) return Result{};
    }
}
