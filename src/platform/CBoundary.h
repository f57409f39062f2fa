// Nothing may unwind into a C caller: an exception (memory that runs out deep
// inside a call, say) makes the exported call fail like any other failure.
#pragma once

#include <utility>

namespace calidra {

template <typename Result, typename Call>
Result CatchAll(Result failure, Call&& call) noexcept {
    try {
        return std::forward<Call>(call)();
    } catch (...) {
        return failure;
    }
}

}  // namespace calidra
