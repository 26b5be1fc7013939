// End to end through SDL's disk audio driver: a played sound reaches the output file, and closing
// the speaker stops the audio thread.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "sound/cSoundManager.h"
#include "testing/soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

long fileSize(const std::string& path) {
    std::error_code missing;
    const auto size = std::filesystem::file_size(path, missing);
    return missing ? -1 : static_cast<long>(size);
}

long threadCount() {
    using std::filesystem::directory_iterator;
    return std::distance(directory_iterator("/proc/self/task"), directory_iterator());
}

}  // namespace

TEST(Device, APlayedSoundReachesTheDiskDriverAndCloseStopsTheThread) {
    ScratchDir dir;
    std::string output = dir.file("out.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "5", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    const long threadsBefore = threadCount();

    writeFile(dir.file("tone.wav"), wav16(sine(44100, 44100, 440.0, 10000), 1, 44100));
    soundManagerInstance = new cSoundManager;
    hssSpeaker* speaker = new hssSpeaker;
    soundManagerInstance->setSpeaker(speaker);
    ASSERT_EQ(speaker->open(44100, 16, 1, 8, 64), 0);
    EXPECT_EQ(speaker->open(44100, 16, 1, 8, 64), hssErrAlreadyOpen);
    EXPECT_GT(speaker->latencyMs(), 0);
    EXPECT_LE(speaker->latencyMs(), 50);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);

    cSound* tone = soundManagerInstance->createSound("tone", dir.file("tone.wav"));
    ASSERT_NE(tone, nullptr);
    tone->play();
    for (int i = 0; i < 400 && fileSize(output) < 44100 * 4 / 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(threadCount(), threadsBefore);

    delete soundManagerInstance;
    soundManagerInstance = nullptr;
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
    EXPECT_EQ(threadCount(), threadsBefore);
    long closedSize = fileSize(output);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(fileSize(output), closedSize);

    std::ifstream in(output, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 4096u);
    const int16_t* samples = reinterpret_cast<const int16_t*>(bytes.data());
    int peak = 0;
    for (size_t i = 0; i < bytes.size() / 2; ++i) peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    EXPECT_NEAR(peak, 5000, 50);  // the centred tone at half amplitude per side
    SDL_Quit();
}
