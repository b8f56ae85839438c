// Results as tests compare them: the reason of a failure, to compare with what the user
// is told ("(worked)" for a result that worked, which no reason equals), and the text a
// call gives ("(failed) " and the reason for one that failed).
#pragma once

#include <string>

#include "text/failure.h"

namespace vantrel::test {

template <class T>
std::string reasonOf(const Result<T>& result) {
    return result ? std::string("(worked)") : result.failure().reason;
}

inline std::string textOf(const Result<std::string>& result) {
    return result ? *result : "(failed) " + result.failure().reason;
}

}  // namespace vantrel::test
