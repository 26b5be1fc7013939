// Named sounds, shared files, pools, variants and ids over an offline speaker.
#include <gtest/gtest.h>

#include "sound/cSoundManager.h"
#include "testing/soundTestSupport.h"

using namespace QEL;
using namespace QEL::soundTest;

namespace {

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir.file("shot.wav"), wav16(std::vector<int16_t>(2000, 3000), 1, 44100));
        writeFile(dir.file("shot1.wav"), wav16(std::vector<int16_t>(2000, 4000), 1, 44100));
        writeFile(dir.file("shot2.wav"), wav16(std::vector<int16_t>(2000, 5000), 1, 44100));
        writeFile(dir.file("other.wav"), wav16(std::vector<int16_t>(2000, 6000), 1, 44100));
        manager.setSpeaker(offlineSpeaker().release());
    }

    std::string shot() const { return dir.file("shot.wav"); }
    std::vector<int16_t> mix(int32_t frames) { return render(*manager.getSpeaker(), frames); }

    ScratchDir dir;
    cSoundManager manager;
};

}  // namespace

TEST_F(ManagerTest, APoolSharesOneFileAndPlaysInTurn) {
    cSoundPool* pool = manager.createSoundPool(3, "shot", shot());
    ASSERT_EQ(pool->instances.size(), 3u);
    ASSERT_EQ(manager.getFiles().size(), 1u);
    EXPECT_EQ(manager.getFiles().begin()->second->referenceCount, 3);
    EXPECT_EQ(manager.findGroup("shot"), pool);

    for (const char* next : {"shot_1", "shot_2", "shot_0"}) EXPECT_EQ(pool->play2d(), manager.findSound(next)->id);
    EXPECT_EQ(mix(1)[0], 3 * 3000 / 2);  // three copies overlap

    pool->release();
    EXPECT_TRUE(pool->instances.empty());
    EXPECT_EQ(manager.soundCount(), 0u);
    EXPECT_TRUE(manager.getFiles().empty());

    // A pool of one restarts its only sound.
    cSoundPool* one = manager.createSoundPool(1, "one", shot());
    uint32_t id = one->play2d();
    mix(500);
    EXPECT_EQ(manager.findSoundById(id)->channel.load()->getPosition(), 500);
    EXPECT_EQ(one->play2d(), id);
    EXPECT_EQ(manager.findSoundById(id)->channel.load()->getPosition(), 0);
}

TEST_F(ManagerTest, VariantsTakeTheirFilesFromTheBaseNameAndPlayOneAtRandom) {
    cSoundVariant* variant = manager.createSoundVariant("dodge", shot(), "ignored", "");
    ASSERT_EQ(variant->instances.size(), 3u);
    for (cSound* sound : variant->instances) ASSERT_NE(sound, nullptr);
    EXPECT_EQ(manager.findSound("dodge_1")->file->path, dir.file("shot1.wav"));
    EXPECT_EQ(manager.findSound("dodge_2")->file->path, dir.file("shot2.wav"));

    std::srand(7);
    uint32_t id = variant->play2d();
    cSound* played = manager.findSoundById(id);
    ASSERT_NE(played, nullptr);
    EXPECT_EQ(played, variant->instances[static_cast<size_t>(variant->position)]);
    int16_t expected = static_cast<int16_t>((3000 + 1000 * variant->position) / 2);
    EXPECT_EQ(mix(1)[0], expected);
}

TEST_F(ManagerTest, MissingEntriesAreReportedAndPlayNothing) {
    cSoundPool* pool = manager.createSoundPool(2, "gone", dir.file("missing.ogg"));
    cSoundVariant* variant = manager.createSoundVariant("half", dir.file("other.wav"), "", "");
    EXPECT_EQ(variant->instances[1], nullptr);

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(pool->play2d(), 0u);
    variant->position = 0;
    while (variant->instances[static_cast<size_t>(variant->position)]) variant->play2d();
    std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("E: (QEL::cSoundPool::play2d) \acSound.cpp Sound not found: gone\n"), std::string::npos) << log;
    EXPECT_NE(log.find("E: (QEL::cSoundVariant::play2d) \acSound.cpp Sound not found: half\n"), std::string::npos);
    EXPECT_EQ(log.find("Going to DIE"), std::string::npos);
    EXPECT_EQ(manager.soundCount(), 1u);  // only half_0 exists
}

TEST_F(ManagerTest, ANameInUseLoadsNothingAndTheFileRecordGoesWithItsLastSound) {
    cSound* a = manager.createSound("a", shot());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(manager.createSound("a", dir.file("other.wav")), nullptr);
    EXPECT_EQ(manager.createSound("b", dir.file("missing.wav")), nullptr);
    ASSERT_EQ(manager.getFiles().size(), 1u);
    EXPECT_EQ(manager.getFiles().begin()->second->referenceCount, 1);

    cSound* b = manager.createSound("b", shot());
    cSound* c = manager.createSound("c", shot());
    manager.play(c, false);
    manager.destroySound(a);
    manager.destroySound(b);
    ASSERT_EQ(manager.getFiles().size(), 1u);
    EXPECT_EQ(manager.getFiles().begin()->second->referenceCount, 1);
    EXPECT_EQ(mix(1)[0], 1500);
    manager.destroySound(c);  // stops it first: the mixer never reads the freed data
    EXPECT_TRUE(manager.getFiles().empty());
    EXPECT_EQ(mix(1)[0], 0);
}

TEST_F(ManagerTest, VolumeAndPanReachTheChannel) {
    cSound* sound = manager.createSound("s", shot());
    sound->setVolume(2.0f);
    sound->setPan(-3.0f);
    sound->play();
    hssSoundChannel* channel = sound->channel.load();
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->getVolume(), 64);
    EXPECT_EQ(channel->getPan(), 0);
    sound->setPan(1.0f);
    EXPECT_EQ(channel->getPan(), 255);
    sound->setVolume(0.5f);
    EXPECT_EQ(channel->getVolume(), 32);
    sound->setVolume(-1.0f);
    EXPECT_EQ(channel->getVolume(), 0);
}

TEST_F(ManagerTest, TheEndCallbackReturnsTheSoundToIdleAndBusyChannelsLeaveItIdle) {
    cSound* sound = manager.createSound("s", shot());
    manager.play(sound, false);
    mix(1999);
    EXPECT_NE(sound->channel.load(), nullptr);
    mix(2);
    EXPECT_EQ(sound->channel.load(), nullptr);

    cSoundPool* pool = manager.createSoundPool(65, "many", shot());
    for (int i = 0; i < 65; ++i) pool->play2d();
    EXPECT_EQ(pool->instances[0]->channel.load(), nullptr);  // the 65th: started nothing
    EXPECT_NE(pool->instances[64]->channel.load(), nullptr);
}

TEST_F(ManagerTest, IdsWrapAfterTheLastSkipIdsInUseAndRunOut) {
    EXPECT_EQ(manager.createSound("a", shot())->id, 1u);
    EXPECT_EQ(manager.createSound("b", shot())->id, 2u);
    while (manager.generateNewSoundID() != 65529) {
    }
    EXPECT_EQ(manager.createSound("c", shot())->id, 65530u);
    EXPECT_EQ(manager.createSound("d", shot())->id, 3u);

    for (int i = 4; i < 65530; ++i) ASSERT_NE(manager.createSound("s" + std::to_string(i), shot()), nullptr);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(manager.createSound("one-too-many", shot()), nullptr);
    std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(log.rfind("E: (QEL::cSoundManager::generateNewSoundID) \acSoundManager.cpp Too many sounds: ", 0), 0u)
        << log;
    EXPECT_EQ(manager.findSound("one-too-many"), nullptr);
    EXPECT_EQ(manager.getFiles().begin()->second->referenceCount, 65530);
    manager.destroySound(manager.findSound("s77"));
    EXPECT_NE(manager.createSound("fits-again", shot()), nullptr);
}
