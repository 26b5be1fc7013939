// Ogg Vorbis files as the mixer opens them: streamed (a decoder per play, reading the shared open
// file) and decoded whole into memory, each then played on an offline speaker.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzzWorld.h"
#include "sound/hss/hssSound.h"
#include "sound/hss/hssSpeaker.h"
#include "testing/soundTestSupport.h"

namespace {

QEL::hssSpeaker* speaker = nullptr;

void playBriefly(QEL::hssSound& sound) {
    const int32_t handle = QEL::soundTest::start(*speaker, sound);
    const int32_t second = QEL::soundTest::start(*speaker, sound, 64, 128, 200);
    QEL::soundTest::render(*speaker, 2048);
    for (int32_t h : {handle, second}) {
        if (QEL::hssChannel* channel = speaker->getChannel(h)) channel->stop();
    }
    QEL::soundTest::render(*speaker, 64);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kablixFuzz::setUpWorld({/*copyPack=*/false});
    speaker = QEL::soundTest::offlineSpeaker().release();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = kablixFuzz::assetsDir() + "/fuzz.ogg";
    kablixFuzz::writeBytes(path, data, size);
    {
        QEL::hssSound streamed;
        if (streamed.load(path.c_str()) == 0) playBriefly(streamed);
    }
    {
        QEL::hssSound decoded;
        if (decoded.load(path.c_str(), QEL::hssLoadDecodeOgg) == 0) playBriefly(decoded);
    }
    return 0;
}
