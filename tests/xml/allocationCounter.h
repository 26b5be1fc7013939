// Counts the program's live heap blocks, so a test can check that a sequence of operations hands back
// everything it took. The count comes from replacing the global operator new and delete in this
// test program (allocationCounter.cpp).
#pragma once

#include <iostream>
#include <streambuf>

namespace xmltest {

long liveAllocations();

// Swallows everything written to std::cout without allocating, so output does not disturb the count.
class DiscardCout {
public:
    DiscardCout() : old(std::cout.rdbuf(&sink)) {}
    ~DiscardCout() { std::cout.rdbuf(old); }

private:
    struct Sink : std::streambuf {
        int overflow(int c) override { return c; }
    } sink;
    std::streambuf* old;
};

}  // namespace xmltest
