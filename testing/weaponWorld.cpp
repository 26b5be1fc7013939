#include "testing/weaponWorld.h"

#include <lodepng.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <vector>

#include "base/appTime.h"
#include "sound/cSoundManager.h"
#include "testing/soundTestSupport.h"
#include "weapon/weaponTest.h"

namespace weaponTest {

uint32_t clockNow = 0;

namespace {
uint32_t testClock() { return clockNow; }
std::vector<uint8_t> oggBytes;  // one short sound, encoded once, copied under every name needed
}  // namespace

void WeaponWorld::SetUpTestSuite() {
    GLTest::SetUpTestSuite();
    if (!oggBytes.empty()) return;
    QEL::soundTest::ScratchDir scratch;
    const std::string wav = scratch.file("tone.wav");
    QEL::soundTest::writeFile(wav, QEL::soundTest::wav16(QEL::soundTest::sine(4410, 44100, 440.0, 8000), 1, 44100));
    if (!QEL::soundTest::encodeOgg(wav, scratch.file("tone.ogg"))) return;
    std::ifstream in(scratch.file("tone.ogg"), std::ios::binary);
    oggBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WeaponWorld::SetUp() {
    GLTest::SetUp();
    ASSERT_FALSE(oggBytes.empty()) << "oggenc could not make the test sound";
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? test->name() : "bench";
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised tests are named "Test/0"
    root = fs::temp_directory_path() / ("kablix_weapon_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(root);
    fs::create_directories(root / "play");
    fs::create_directories(root / "assets");
    previousDir = fs::current_path();
    fs::current_path(root / "play");
    clockNow = 0;
    QEL::setAppTimeSourceForTesting(&testClock);
    // What every manager loads at construction, the standard pictures, a red spark and sounds t0 to t2.
    for (const char* name : {"emptySound", "ShellsHittingFloor1", "death01", "death02", "death03"}) writeOgg(name);
    writeSolidPng("_switchModeButton", 192, 64, 255, 255, 0, true);
    writeSolidPng("_helmetBodyArmor", 128, 64, 255, 255, 255, true);
    writeAsset("EFFECTS.xml", "<overlayHitEffects><emitters/><effects><effect id=\"1\" name=\"thirty\">"
        "<spurt spurtID=\"5\" dMin=\"30\" dMax=\"30\" duration=\"100\"/></effect><effect id=\"2\" name=\"fatal\"><spurt "
        "dMin=\"1000\" dMax=\"1000\"/></effect></effects></overlayHitEffects>\n");
    writeSolidPng("gun", 64, 64, 0, 255, 0);
    writeSolidPng("bg", 1024, 512, 0, 0, 255);
    writeSolidPng("round", 8, 8, 255, 255, 255, true);
    writeSolidPng("shell", 8, 8, 200, 200, 0, true);
    writeSolidPng("spark", 8, 8, 255, 0, 0, true);
    for (const char* name : {"t0", "t1", "t2"}) writeOgg(name);
    restartManager();
    previousCout = std::cout.rdbuf(captured.rdbuf());
}

void WeaponWorld::restartManager() {
    manager.reset();
    delete sounds;
    sounds = new QEL::cSoundManager();
    sounds->setSpeaker(QEL::soundTest::offlineSpeaker().release());
}

void WeaponWorld::TearDown() {
    manager.reset();
    delete sounds;
    std::cout.rdbuf(previousCout);
    QEL::setAppTimeSourceForTesting(nullptr);
    fs::current_path(previousDir);
    fs::remove_all(root);
}

// Written in exactly the colour type asked for: the encoder would otherwise make a palette picture.
void WeaponWorld::writeAsset(const std::string& fileName, const std::string& text) {
    std::ofstream(root / "assets" / fileName, std::ios::binary) << text;
}

void WeaponWorld::writeSolidPng(const std::string& name, unsigned w, unsigned h, uint8_t r, uint8_t g, uint8_t b, bool alpha) {
    std::vector<uint8_t> raw, png;
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        raw.insert(raw.end(), {r, g, b});
        if (alpha) raw.push_back(255);
    }
    lodepng::State state;
    state.encoder.auto_convert = 0;
    state.info_raw.colortype = state.info_png.color.colortype = alpha ? LCT_RGBA : LCT_RGB;
    state.info_raw.bitdepth = state.info_png.color.bitdepth = 8;
    ASSERT_EQ(lodepng::encode(png, raw.data(), w, h, state), 0u);
    QEL::soundTest::writeFile((root / "assets" / (name + ".png")).string(), png);
}

void WeaponWorld::writeOgg(const std::string& name) {
    QEL::soundTest::writeFile((root / "assets" / (name + ".ogg")).string(), oggBytes);
}

QEL::cAssetMgr& WeaponWorld::mgr() {
    if (!manager) manager = std::make_unique<QEL::cAssetMgr>(sounds);
    return *manager;
}

int32_t WeaponWorld::loadWeapon(const std::string& name, const std::string& xml) {
    std::ofstream(root / "assets" / (name + ".xml"), std::ios::trunc) << xml;
    return loadChecked(name);
}

int32_t WeaponWorld::loadChecked(const std::string& name) {
    mgr();
    const std::optional<QEL::FireMode> mode = mgr().loadAsset(QEL::testWeapon(name));
    return mode ? *mode : -2;
}

long long WeaponWorld::storedValue(const std::string& select) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    long long value = -1;
    if (sqlite3_open_v2((root / "assets" / "scores.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, select.c_str(), -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

std::string WeaponWorld::takeLog() {
    const std::string text = captured.str();
    captured.str("");
    return text;
}

bool WeaponWorld::frameAt(uint32_t ms, bool drawPicture) {
    clockNow = ms;
    return mgr().update(ms, lastNetShot, drawPicture);
}

void WeaponWorld::mixAudio(int32_t frames) {
    std::vector<uint8_t> buffer(static_cast<size_t>(frames) * 4);
    sounds->getSpeaker()->mix(buffer.data(), static_cast<int32_t>(buffer.size()));
}

std::string weaponXml(const std::string& name, const std::string& body, const std::string& rootAttributes) {
    const bool ownInterrupt = rootAttributes.find("allowInterrupt") != std::string::npos;
    return "<?xml version=\"1.0\"?>\n<kablixWeapon name=\"" + name + "\"" + (ownInterrupt ? "" : " allowInterrupt=\"false\"") +
           " " + rootAttributes + ">\n" + body + "\n</kablixWeapon>\n";
}

std::string standardImages() {
    return "<images><image id=\"0\">gun.png</image><image id=\"1\">bg.png</image><image id=\"2\">round.png</image>"
           "<image id=\"3\">shell.png</image></images>\n";
}

std::string shotTypes(bool single, bool burst, bool automatic) {
    auto flag = [](bool on) { return on ? "1" : "0"; };
    return std::string("<shotTypes switchPosX=\"500\" switchPosY=\"10\"><single>") + flag(single) + "</single><burst>" +
           flag(burst) + "</burst><auto>" + flag(automatic) + "</auto></shotTypes>\n";
}

std::string ammoXml(int count) {
    std::string xml = "<ammo count=\"" + std::to_string(count) + "\" img=\"2\">";
    for (int i = 0; i < count; ++i)
        xml += "<bullet id=\"" + std::to_string(i) + "\" x=\"" + std::to_string(10 + 10 * i) + "\" y=\"300\"/>";
    return xml + "</ammo>\n";
}

}  // namespace weaponTest
