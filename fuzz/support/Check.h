// What must always hold in a fuzz target: a broken promise ends the run as a finding.
#pragma once

#include <cstdlib>

namespace dvr::fuzz {

inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace dvr::fuzz
