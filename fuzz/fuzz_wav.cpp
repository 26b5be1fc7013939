// WAV files (8-bit, 16-bit, Microsoft ADPCM) from memory, then played on an offline speaker at a
// few speeds so the mixer walks the decoded data to its end.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sound/hss/hssSound.h"
#include "sound/hss/hssSpeaker.h"
#include "testing/soundTestSupport.h"

namespace {
QEL::hssSpeaker* speaker = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    speaker = QEL::soundTest::offlineSpeaker().release();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QEL::hssSound sound;
    if (sound.loadWav(data, size) != 0) return 0;
    const int32_t speed = size > 0 ? 1 + data[size - 1] : 128;  // 1 to 256, 128 the file's own rate
    sound.setLoop(size > 1 && (data[size - 2] & 1));
    const int32_t handle = QEL::soundTest::start(*speaker, sound, 64, 128, speed);
    QEL::soundTest::render(*speaker, 4096);
    // The sound goes away after this: its channel must let go of it first, as the manager does.
    if (QEL::hssChannel* channel = speaker->getChannel(handle)) channel->stop();
    QEL::soundTest::render(*speaker, 64);
    return 0;
}
