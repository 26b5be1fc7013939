// Mixing allocates nothing: every operator new (and every malloc) in this test binary is counted
// while the speaker mixes 64 channels of WAV and of streamed Ogg Vorbis.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "testing/soundTestSupport.h"

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);

namespace {
std::atomic<bool> counting{false};
std::atomic<long> newCalls{0};
std::atomic<long> mallocCalls{0};

void* counted(size_t size) {
    if (counting) ++newCalls;
    void* p = __libc_malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
}  // namespace

extern "C" void* malloc(size_t size) {
    if (counting) ++mallocCalls;
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
    if (counting) ++mallocCalls;
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size) {
    if (counting) ++mallocCalls;
    return __libc_realloc(p, size);
}

// The array, nothrow and sized forms all end in these two.
void* operator new(size_t size) { return counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

using namespace QEL;
using namespace QEL::soundTest;

namespace {

// Mixes about two seconds in 1024-frame buffers and returns (new calls, malloc calls) made meanwhile.
std::pair<long, long> countWhileMixing(hssSpeaker& speaker) {
    std::vector<int16_t> buffer(2048);
    newCalls = 0;
    mallocCalls = 0;
    counting = true;
    for (int i = 0; i < 86; ++i) speaker.mix(reinterpret_cast<uint8_t*>(buffer.data()), 4096);
    counting = false;
    return {newCalls.load(), mallocCalls.load()};
}

}  // namespace

TEST(Allocation, MixingMemorySoundsAllocatesNothing) {
    auto speaker = offlineSpeaker();
    std::vector<uint8_t> image = wav16(sine(30000, 22050, 440.0, 3000), 1, 22050);
    hssSound sound;
    ASSERT_EQ(sound.loadWav(image.data(), image.size()), 0);
    for (int i = 0; i < 64; ++i) ASSERT_GE(start(*speaker, sound, 64, i * 4, 100 + i), 0);
    auto counts = countWhileMixing(*speaker);
    EXPECT_EQ(counts.first, 0);
    EXPECT_EQ(counts.second, 0);
}

TEST(Allocation, MixingStreamsAllocatesNothingOnceTheDecodersSettle) {
    ScratchDir dir;
    writeFile(dir.file("tone.wav"), wav16(sine(5 * 44100, 44100, 440.0, 3000, 2), 2, 44100));
    ASSERT_TRUE(encodeOgg(dir.file("tone.wav"), dir.file("tone.ogg")));
    auto speaker = offlineSpeaker();
    hssSound sound;
    ASSERT_EQ(sound.load(dir.file("tone.ogg").c_str()), 0);
    for (int i = 0; i < 64; ++i) ASSERT_GE(start(*speaker, sound), 0);
    // The decoder library may grow its block store during the first packets of a stream (its own
    // reallocations); our mixing code allocates nothing from the first buffer on.
    auto early = countWhileMixing(*speaker);
    EXPECT_EQ(early.first, 0);
    std::cerr << "decoder reallocations while 64 streams start: " << early.second << "\n";
    auto settled = countWhileMixing(*speaker);
    EXPECT_EQ(settled.first, 0);
    EXPECT_EQ(settled.second, 0);
}
