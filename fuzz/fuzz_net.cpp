// What arrives from the network, handled by a real QelPeer: raw datagrams on the game's UDP port
// (first byte even) and messages on a connection that has said hello (first byte odd); the same
// bytes also go through the ID_SHOT decoder and the team rule.
//
// It opens real sockets, so it refuses to run anywhere but inside a network namespace with no
// interface besides loopback: nothing it sends can leave the machine.
#include <arpa/inet.h>
#include <net/if.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <enet/enet.h>

#include "fuzz/fuzzWorld.h"
#include "net/QelPeer.h"
#include "net/shotMessage.h"

namespace {

QEL::QelPeer* peer = nullptr;
ENetHost* client = nullptr;
ENetPeer* peerLink = nullptr;
int rawSocket = -1;

void require(bool done, const char* what) {
    if (done) return;
    std::fprintf(stderr, "fuzz_net: %s\n", what);
    std::exit(2);
}

void pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        peer->pollMessages(false);
        ENetEvent event;
        while (enet_host_service(client, &event, 0) > 0) {
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    struct if_nameindex* interfaces = if_nameindex();
    require(interfaces, "no interface list");
    for (struct if_nameindex* i = interfaces; i->if_index != 0; ++i)
        require(std::strcmp(i->if_name, "lo") == 0, "run only inside a network namespace with nothing but loopback");
    if_freenameindex(interfaces);
    kablixFuzz::setUpWorld({/*copyPack=*/false});
    peer = new QEL::QelPeer(nullptr);
    peer->startPeer();
    client = enet_host_create(nullptr, 1, 1, 0, 0);
    rawSocket = socket(AF_INET, SOCK_DGRAM, 0);
    require(peer->host && client && rawSocket >= 0, "no sockets (is loopback up?)");
    connectAndSayHello();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text;
    int32_t shot = 0, hit = 0;
    QEL::decodeShotMessage(data, size, text, shot);
    for (int32_t mode = 0; mode <= 4; ++mode) QEL::shotHitsPlayer(shot, mode, hit);
    if (size == 0) return 0;
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
    return 0;
}
