// The timing loop the timing programs share: the best of several runs, which leaves out what the
// rest of the machine did to the others.
#pragma once

#include <algorithm>
#include <chrono>

namespace bench {

// Milliseconds the fastest of `runs` calls of `work` took.
template <typename Work>
double bestMs(int runs, Work work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace bench
