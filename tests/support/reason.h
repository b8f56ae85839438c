// The reason of a result that failed, to compare with what the user is told; one that
// worked reads "(worked)", which no reason equals.
#pragma once

#include <string>

#include "text/failure.h"

namespace vantrel::test {

template <class T>
std::string reasonOf(const Result<T>& result) {
    return result ? std::string("(worked)") : result.failure().reason;
}

}  // namespace vantrel::test
