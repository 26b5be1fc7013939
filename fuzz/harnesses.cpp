// The fuzz harnesses, one for every input the program reads. A program built from this file
// (fuzz_<input> under libFuzzer, replay_<input> over files) runs the harness its name ends in.
// Every harness runs in a world set up once per process: a private folder laid out as the game
// sees it (play/ the working directory, assets/ beside it with the demo pack), the log sent
// nowhere, a clock the harness sets, a sound manager on an offline speaker and, where asked, a GL
// context on a private Xvfb. The folder is removed at exit.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <enet/enet.h>
#include <net/if.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/packInstaller.h"
#include "base/appTime.h"
#include "base/dataFileReader.h"
#include "check/packChecker.h"
#include "effects/teamDamage.h"
#include "net/QelPeer.h"
#include "net/shotMessage.h"
#include "render/Image.h"
#include "sound/cSoundManager.h"
#include "testing/glTestContext.h"
#include "testing/soundTestSupport.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

namespace {

namespace fs = std::filesystem;
using QEL::soundTest::render;
using QEL::soundTest::start;

fs::path root;
uint32_t now = 0;  // what appTimeMs reads
QEL::cSoundManager* sounds = nullptr;
QEL::hssSpeaker* speaker = nullptr;  // the sound manager's
std::ofstream nowhere;                // never opened: every write is dropped

void require(bool done, const std::string& what) {
    if (done) return;
    std::fprintf(stderr, "fuzz: %s\n", what.c_str());
    std::exit(2);  // a harness without its world would only report false findings
}

std::string write(const std::string& name, const uint8_t* data, size_t size) {
    const fs::path path = root / (name == "gunList.txt" ? "play" : "assets") / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return path.string();
}

// Frames of the asset manager 34 ms apart, then the audio they started.
void frames(QEL::cAssetMgr& manager, int count) {
    int32_t netShot = -1;
    for (int i = 0; i < count; ++i) manager.update(now += 34, netShot);
    render(*speaker, 1024);
}

// Plays `sound` at a speed the input chooses, and once more at another, then stops both: the sound
// goes away after this, and its channels must let go of it first, as the manager does.
void play(QEL::hssSound& sound, int32_t speed) {
    const int32_t handles[2] = {start(*speaker, sound, 64, 128, speed), start(*speaker, sound, 64, 0, 200)};
    render(*speaker, 4096);
    for (int32_t handle : handles)
        if (QEL::hssChannel* channel = speaker->getChannel(handle)) channel->stop();
    render(*speaker, 64);
}

// Pictures through the path loader (PNG, then TGA) and the padded PNG loader; TGA from a buffer.
void png(const uint8_t* data, size_t size) {
    const std::string path = write("fuzz.png", data, size);
    QEL::Image padded, any;
    padded.LoadPNG_forcePowerOfTwo(path);
    padded.mirrorImageY();
    if (any.Load(path) == QEL::kImageLoaded) any.mirrorImageY();
}

void tga(const uint8_t* data, size_t size) {
    QEL::Image image;
    if (image.LoadTGA(data, size) == QEL::kImageLoaded) image.mirrorImageY();
}

// WAV (every encoding the reader decodes) from memory, the last bytes choosing the speed and looping.
void wav(const uint8_t* data, size_t size) {
    QEL::hssSound sound;
    if (sound.loadWav(data, size) != 0) return;
    sound.setLoop(size > 1 && (data[size - 2] & 1));
    play(sound, 1 + data[size - 1]);
}

// Ogg Vorbis streamed (a decoder per play on the shared open file) and decoded whole.
void ogg(const uint8_t* data, size_t size) {
    const std::string path = write("fuzz.ogg", data, size);
    for (uint32_t flags : {0u, QEL::hssLoadDecodeOgg}) {
        QEL::hssSound sound;
        if (sound.load(path.c_str(), flags) == 0) play(sound, 128);
    }
}

// A weapon file through kablix-check (its strict XML pass too), then the game's check, the reader
// into a fresh asset manager and a short session: frames, the trigger held and released, a mode
// switch, a reload, a hit; then it is put down.
void weaponLoad(const uint8_t* data, size_t size) {
    write("fuzzWeapon.xml", data, size);
    QEL::packChecker("../assets").checkWeapon("fuzzWeapon");
    now = 1000;
    {
        QEL::cAssetMgr manager(sounds);
        const QEL::checkedWeapon checked = QEL::testWeapon("fuzzWeapon");
        if (checked && manager.loadAsset(checked)) {
            frames(manager, 3);
            manager.injectInputDown();
            frames(manager, 8);
            manager.injectInputUp();
            manager.toggleAssetMode();
            manager.tapInput();
            frames(manager, 4);
            manager.requestReload();
            frames(manager, 4);
            manager.receiveHit(1);
            frames(manager, 2);
        }
    }
}

// EFFECTS.xml as the asset manager reads it, then every effect id a file is likely to use as a hit.
void effects(const uint8_t* data, size_t size) {
    write("EFFECTS.xml", data, size);
    now = 1000;
    {
        QEL::cAssetMgr manager(sounds);
        for (int32_t id : {-1, 0, 1, 2, 3, 5, 9, 10, 99}) {
            manager.receiveHit(id);
            frames(manager, 3);
        }
    }
}

// The catalogue as main reads it, looked up as the keys do: weapons checked, s-entries through the
// team rule of every mode.
void gunlist(const uint8_t* data, size_t size) {
    write("gunList.txt", data, size);
    const QEL::dataFileReader catalogue("gunList.txt");
    for (char key : std::string("0123456789abcdefghijklmnopqrstuvwxyz")) {
        const std::string weapon = catalogue.getValue(std::string(1, key));
        const int32_t shot = std::atoi(catalogue.getValue("s" + std::string(1, key)).c_str());
        if (!weapon.empty()) QEL::testWeapon(weapon);
        for (int32_t mode = 0, hit = 0; mode <= 4; ++mode) QEL::shotHitsPlayer(shot, static_cast<QEL::TeamMode>(mode), hit);
    }
}

// damage.txt as the damage display reads it at every mode change, then hits, a death, digging out
// and regeneration in each team mode.
void damage(const uint8_t* data, size_t size) {
    static QEL::teamDamage* display = new QEL::teamDamage(sounds);
    write("damage.txt", data, size);
    for (int32_t mode : {2, 0, 4}) {
        display->set(static_cast<QEL::TeamMode>(mode));
        display->hit(-30);
        display->update(now += 100);
        display->hit(-100000);
        for (int i = 0; i < 15; ++i) {
            display->digPress();
            display->armDig();
            display->update(now += 40);
        }
        display->draw();
    }
    render(*speaker, 256);
}

// What arrives from the network, on a real QelPeer: raw datagrams on the game's port (first byte
// even) and messages on a connection that said hello (first byte odd); the same bytes also go
// through the shot decoder and the team rule. Real sockets: it runs only inside a network namespace
// with nothing but loopback, so nothing it sends can leave the machine.
QEL::QelPeer* peer = nullptr;
ENetHost* client = nullptr;
ENetPeer* peerLink = nullptr;
int rawSocket = -1;

void pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        peer->pollMessages(false);
        for (ENetEvent event; enet_host_service(client, &event, 0) > 0;) {
            if (event.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(event.packet);
            if (event.type == ENET_EVENT_TYPE_DISCONNECT) peerLink = nullptr;
        }
    }
}

void connectAndSayHello() {
    ENetAddress to{0, uint16_t(QEL::kPeerPort)};
    enet_address_set_host(&to, "127.0.0.1");
    peerLink = enet_host_connect(client, &to, 1, 0);
    for (int i = 0; i < 200 && peerLink && peerLink->state != ENET_PEER_STATE_CONNECTED; ++i, usleep(1000)) pump(1);
    require(peerLink && peerLink->state == ENET_PEER_STATE_CONNECTED, "no ENet connection to the peer on loopback");
    const uint8_t hello[9] = {QEL::ID_HELLO, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF1};
    enet_peer_send(peerLink, 0, enet_packet_create(hello, sizeof hello, ENET_PACKET_FLAG_RELIABLE));
    enet_host_flush(client);
    pump(5);
}

void startNet() {
    struct if_nameindex* interfaces = if_nameindex();
    require(interfaces, "no interface list");
    for (struct if_nameindex* i = interfaces; i->if_index != 0; ++i)
        require(std::strcmp(i->if_name, "lo") == 0, "run only inside a network namespace with nothing but loopback");
    if_freenameindex(interfaces);
    peer = new QEL::QelPeer(nullptr);
    peer->startPeer();
    client = enet_host_create(nullptr, 1, 1, 0, 0);
    rawSocket = socket(AF_INET, SOCK_DGRAM, 0);
    require(peer->host && client && rawSocket >= 0, "no sockets (is loopback up?)");
    connectAndSayHello();
}

void net(const uint8_t* data, size_t size) {
    std::string text;
    int32_t shot = 0, hit = 0;
    QEL::decodeShotMessage(data, size, text, shot);
    for (int32_t mode = 0; mode <= 4; ++mode) QEL::shotHitsPlayer(shot, static_cast<QEL::TeamMode>(mode), hit);
    if (size == 0) return;
    if (data[0] & 1) {
        if (!peerLink || peerLink->state != ENET_PEER_STATE_CONNECTED) connectAndSayHello();
        ENetPacket* message = enet_packet_create(data + 1, size - 1, ENET_PACKET_FLAG_RELIABLE);
        if (enet_peer_send(peerLink, 0, message) < 0) enet_packet_destroy(message);
        enet_host_flush(client);
    } else {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(QEL::kPeerPort));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(rawSocket, data + 1, size - 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    pump(3);
}

// A pack archive as --add-pack takes it (every weapon file read through the pack reader), then
// the packs folder listed, so the archive, when taken, is mounted from disk as well.
std::unique_ptr<QEL::packReader> packFiles;  // PhysicsFS is started once per process
void startPack() {
    packFiles = std::make_unique<QEL::packReader>();
    require(packFiles->ready(), packFiles->problem());
}
void pack(const uint8_t* data, size_t size) {
    const std::string archive = write("incoming.zip", data, size), packs = (root / "packs").string();
    const auto readWeapon = [](QEL::packReader& files, const std::string& weapon) {
        std::string text;
        files.readFile(weapon, 1 << 20, text);
        return std::vector<std::string>();
    };
    QEL::installPack(*packFiles, archive, packs, true, readWeapon);
    std::vector<std::string> problems;
    QEL::listPacks(*packFiles, packs, problems);
    std::error_code error;
    fs::remove_all(packs, error);
}

struct Harness {
    const char* input;
    bool glContext;  // textures need one
    void (*run)(const uint8_t*, size_t);
    void (*start)();
};

const Harness kHarnesses[] = {
    {"png", false, png, nullptr},         {"tga", false, tga, nullptr},
    {"wav", false, wav, nullptr},         {"ogg", false, ogg, nullptr},
    {"weapon_load", true, weaponLoad, nullptr}, {"effects", true, effects, nullptr},
    {"gunlist", false, gunlist, nullptr}, {"damage", true, damage, nullptr},
    {"net", false, net, startNet},        {"pack", false, pack, startPack},
};
const Harness* harness = nullptr;

void setUpWorld() {
    root = fs::temp_directory_path() / ("kablix_fuzz_" + std::to_string(::getpid()));
    std::error_code error;
    fs::remove_all(root, error);
    fs::create_directories(root / "play", error);
    fs::create_directories(root / "assets", error);
    require(!error, "cannot create " + root.string());
    // Only the process that made the folder removes it (libFuzzer's -fork children share it).
    std::atexit([] {
        std::error_code ignored;
        if (root.filename() == "kablix_fuzz_" + std::to_string(::getpid())) fs::remove_all(root, ignored);
    });
    const char* fromEnv = std::getenv("KABLIX_FUZZ_PACK");
    const fs::path pack = fromEnv && *fromEnv ? fs::path(fromEnv) : fs::path(KABLIX_FUZZ_PACK_DIR);
    require(fs::is_directory(pack, error), "no demo pack at '" + pack.string() + "' (set KABLIX_FUZZ_PACK)");
    for (const fs::directory_entry& entry : fs::directory_iterator(pack)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.rfind("scores.db", 0) != 0)
            fs::copy_file(entry.path(), root / "assets" / name, fs::copy_options::overwrite_existing, error);
        require(!error, "cannot copy " + entry.path().string());
    }
    fs::current_path(root / "play", error);
    require(!error, "cannot enter " + (root / "play").string());

    QEL::setAppTimeSourceForTesting([] { return now; });
    // The log lines are the program's interface, not findings; libFuzzer reports on stderr.
    std::cout.rdbuf(nowhere.rdbuf());
    require(std::freopen("/dev/null", "w", stdout), "cannot silence stdout");
    sounds = new QEL::cSoundManager();
    sounds->setSpeaker(QEL::soundTest::offlineSpeaker().release());
    speaker = sounds->getSpeaker();
    if (!harness->glContext) return;
    // Mesa unloads its software driver at exit, before LeakSanitizer looks; kept loaded, what it
    // holds is named by its module, which lsan.supp can suppress.
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    require(QEL::testing::startGLContext(), "no GL context");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const std::string program = fs::path((*argv)[0]).filename().string();
    const std::string input = program.substr(program.find('_') + 1);
    for (const Harness& candidate : kHarnesses)
        if (input == candidate.input) harness = &candidate;
    require(harness, "no harness for " + program);
    setUpWorld();
    if (harness->start) harness->start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    harness->run(data, size);
    return 0;
}
