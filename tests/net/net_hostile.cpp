// net_hostile: a hostile copy for the network tests and bench/lan_hostile.py. It speaks the game's
// messages over ENet but plays none of its rules. One attack per run, against the copy at ADDRESS:
//
//   net_hostile ADDRESS [--port N] [--guid G] [--room NAME --team M] flood RATE SHOT SECONDS
//       links (hello with GUID G, or a random one; in a room with mode M), then sends ID_SHOT with
//       the text SHOT RATE times a second (0: as fast as it can) for SECONDS
//   net_hostile ADDRESS [--port N] silent COUNT SECONDS
//       holds COUNT connections that never say hello, opening new ones as they are dropped
//   net_hostile ADDRESS [--port N] junk RATE SECONDS
//       sends RATE datagrams of random bytes a second (0: as fast as it can)
//   net_hostile ADDRESS [--port N] ads RATE SECONDS
//       the same with advertisements of made-up copies, each under a GUID of its own
//
// Prints "hostile: linked" once a flood's link stands, and at the end "hostile: sent N" (shots or
// datagrams) or "hostile: held N" (the most connections standing at once).
#include <enet/enet.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Attack {
    ENetAddress target{};
    uint64_t guid = 0;
    std::string room;
    int team = 0;
    std::string kind;
    std::vector<std::string> values;
};

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// How many of `rate` a second are due after `elapsed` seconds (0: always one more).
long due(double rate, double elapsed, long sent) { return rate > 0 ? long(rate * elapsed) : sent + 64; }

std::vector<uint8_t> hello(const Attack& attack) {
    std::vector<uint8_t> bytes{133};
    for (int shift = 56; shift >= 0; shift -= 8) bytes.push_back(uint8_t(attack.guid >> shift));
    if (attack.room.empty()) return bytes;
    bytes.push_back(uint8_t(attack.team));
    bytes.insert(bytes.end(), 16, 0x5A);
    bytes.push_back(uint8_t(attack.room.size()));
    bytes.insert(bytes.end(), attack.room.begin(), attack.room.end());
    return bytes;
}

int flood(const Attack& attack) {
    const double rate = std::atof(attack.values.at(0).c_str());
    const std::string& text = attack.values.at(1);
    const double seconds = std::atof(attack.values.at(2).c_str());
    ENetHost* host = enet_host_create(nullptr, 1, 1, 0, 0);
    ENetPeer* peer = host ? enet_host_connect(host, &attack.target, 1, 0) : nullptr;
    if (!peer) return 1;
    ENetEvent event;
    if (enet_host_service(host, &event, 5000) <= 0 || event.type != ENET_EVENT_TYPE_CONNECT) {
        std::printf("hostile: no link\n");
        return 1;
    }
    const std::vector<uint8_t> greeting = hello(attack);
    enet_peer_send(peer, 0, enet_packet_create(greeting.data(), greeting.size(), ENET_PACKET_FLAG_RELIABLE));
    enet_host_flush(host);
    std::printf("hostile: linked\n");
    std::fflush(stdout);
    std::vector<uint8_t> shot{132, uint8_t(text.size() >> 8), uint8_t(text.size())};
    shot.insert(shot.end(), text.begin(), text.end());
    long sent = 0;
    const Clock::time_point start = Clock::now();
    bool linked = true;
    while (linked && secondsSince(start) < seconds) {
        for (const long target = due(rate, secondsSince(start), sent); sent < target; ++sent)
            enet_peer_send(peer, 0, enet_packet_create(shot.data(), shot.size(), ENET_PACKET_FLAG_UNSEQUENCED));
        while (enet_host_service(host, &event, 0) > 0) {
            if (event.type == ENET_EVENT_TYPE_DISCONNECT) linked = false;
            if (event.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(event.packet);
        }
        if (rate > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::printf("hostile: sent %ld%s\n", sent, linked ? "" : " (dropped)");
    if (linked) enet_peer_disconnect_now(peer, 0);
    enet_host_destroy(host);
    return 0;
}

int silent(const Attack& attack) {
    const size_t count = size_t(std::atoi(attack.values.at(0).c_str()));
    const double seconds = std::atof(attack.values.at(1).c_str());
    ENetHost* host = enet_host_create(nullptr, count, 1, 0, 0);
    if (!host) return 1;
    size_t standing = 0, most = 0;
    const Clock::time_point start = Clock::now();
    while (secondsSince(start) < seconds) {
        for (size_t i = 0; i < host->peerCount; ++i) {
            if (host->peers[i].state == ENET_PEER_STATE_DISCONNECTED) enet_host_connect(host, &attack.target, 1, 0);
        }
        ENetEvent event;
        while (enet_host_service(host, &event, 10) > 0) {
            if (event.type == ENET_EVENT_TYPE_CONNECT) ++standing;
            if (event.type == ENET_EVENT_TYPE_DISCONNECT && event.peer->data) --standing;
            if (event.type == ENET_EVENT_TYPE_CONNECT) event.peer->data = event.peer;
            if (event.type == ENET_EVENT_TYPE_DISCONNECT) event.peer->data = nullptr;
            if (event.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(event.packet);
        }
        if (standing > most) most = standing;
    }
    std::printf("hostile: held %zu\n", most);
    enet_host_destroy(host);
    return 0;
}

int junk(const Attack& attack) {
    const double rate = std::atof(attack.values.at(0).c_str());
    const double seconds = std::atof(attack.values.at(1).c_str());
    const ENetSocket sending = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
    std::mt19937 random(7);
    uint8_t bytes[64];
    ENetBuffer buffer;
    buffer.data = bytes;
    long sent = 0;
    const Clock::time_point start = Clock::now();
    while (secondsSince(start) < seconds) {
        for (const long target = due(rate, secondsSince(start), sent); sent < target; ++sent) {
            for (uint8_t& byte : bytes) byte = uint8_t(random());
            buffer.dataLength = 8 + random() % 56;
            if (attack.kind == "ads") {
                const uint8_t mark[] = {29, 'Q', 'E', 'L', 1};
                std::memcpy(bytes, mark, sizeof mark);
                buffer.dataLength = sizeof mark + 8;
            }
            enet_socket_send(sending, &attack.target, &buffer, 1);
        }
        if (rate > 0) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::printf("hostile: sent %ld\n", sent);
    enet_socket_destroy(sending);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || enet_initialize() != 0) return 2;
    Attack attack;
    enet_address_set_host_ip(&attack.target, argv[1]);
    attack.target.port = 54776;
    attack.guid = (uint64_t(std::random_device()()) << 32) | std::random_device()();
    int at = 2;
    for (; at + 1 < argc && std::strncmp(argv[at], "--", 2) == 0; at += 2) {
        const std::string option = argv[at];
        if (option == "--port") attack.target.port = uint16_t(std::atoi(argv[at + 1]));
        if (option == "--guid") attack.guid = std::strtoull(argv[at + 1], nullptr, 10);
        if (option == "--room") attack.room = argv[at + 1];
        if (option == "--team") attack.team = std::atoi(argv[at + 1]);
    }
    attack.kind = argv[at];
    attack.values.assign(argv + at + 1, argv + argc);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (attack.kind == "flood" && attack.values.size() == 3) return flood(attack);
    if (attack.kind == "silent" && attack.values.size() == 2) return silent(attack);
    if ((attack.kind == "junk" || attack.kind == "ads") && attack.values.size() == 2) return junk(attack);
    std::fprintf(stderr, "usage: net_hostile ADDRESS [--port N] [--guid G] [--room NAME --team M] "
                         "flood RATE SHOT SECONDS | silent COUNT SECONDS | junk|ads RATE SECONDS\n");
    return 2;
}
