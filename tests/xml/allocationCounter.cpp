#include "allocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> live{0};
}

void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    ++live;
    return block;
}

void operator delete(void* block) noexcept {
    if (!block) return;
    --live;
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

namespace xmltest {
long liveAllocations() { return live.load(); }
}  // namespace xmltest
