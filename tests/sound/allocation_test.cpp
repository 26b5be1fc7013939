// Mixing allocates nothing: every operator new and malloc of this test binary is counted while the
// speaker mixes 64 channels of WAV and of streamed Ogg Vorbis.
#include <gtest/gtest.h>

#include <atomic>
#include <new>

#include "testing/soundTestSupport.h"

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);

namespace {
std::atomic<bool> counting{false};
std::atomic<long> newCalls{0}, mallocCalls{0};

void* counted(size_t size) {
    newCalls += counting;
    if (void* p = __libc_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

extern "C" void* malloc(size_t size) { return mallocCalls += counting, __libc_malloc(size); }
extern "C" void* calloc(size_t count, size_t size) { return mallocCalls += counting, __libc_calloc(count, size); }
extern "C" void* realloc(void* p, size_t size) { return mallocCalls += counting, __libc_realloc(p, size); }
// The array, nothrow and sized forms all end in these.
void* operator new(size_t size) { return counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using namespace QEL::soundTest;

// Mixes about two seconds in 1024-frame buffers: (new calls, malloc calls) meanwhile.
std::pair<long, long> countWhileMixing(QEL::hssSpeaker& speaker) {
    std::vector<int16_t> buffer(2048);
    newCalls = mallocCalls = 0;
    counting = true;
    for (int i = 0; i < 86; ++i) speaker.mix(reinterpret_cast<uint8_t*>(buffer.data()), 4096);
    counting = false;
    return {newCalls, mallocCalls};
}

TEST(Allocation, MixingMemorySoundsAndStreamsAllocatesNothing) {
    ScratchDir dir;
    writeFile(dir.file("tone.wav"), wav16(sine(5 * 44100, 44100, 440.0, 3000, 2), 2, 44100));
    ASSERT_TRUE(encodeOgg(dir.file("tone.wav"), dir.file("tone.ogg")));
    for (const char* file : {"tone.wav", "tone.ogg"}) {
        auto speaker = offlineSpeaker();
        QEL::hssSound sound;
        ASSERT_EQ(sound.load(dir.file(file).c_str()), 0);
        for (int i = 0; i < 64; ++i) ASSERT_GE(start(*speaker, sound, 64, i * 4, 100 + i), 0);
        // The decoder library may grow its block store during the first packets of a stream (its
        // own reallocations); the mixing itself allocates nothing from the first buffer on.
        EXPECT_EQ(countWhileMixing(*speaker).first, 0) << file;
        EXPECT_EQ(countWhileMixing(*speaker), std::make_pair(0L, 0L)) << file;
    }
}

}  // namespace
