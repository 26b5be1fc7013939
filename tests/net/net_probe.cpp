// net_probe: one real copy's network side for the multi-host tests. It builds the application
// object (no window: drawing calls go nowhere), switches networking on in the mode given as its
// argument, and then polls the peer every few milliseconds while it reads commands from standard
// input, one a line:
//     shoot N      cApp::sendShot(N)
//     mode M       cApp::setMultiplayerMode(M)
//     raw HEX      send these bytes as one reliable packet to every connected copy
//     count        print "probe: peerCount N connections N"
//     quit         (or end of input) switch networking off and exit 0
// Standard output carries the program's own lines plus "probe: …" lines that mark each command.
#include "app/cApp.h"
#include "net/QelPeer.h"

#include <enet/enet.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> parseHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(uint8_t(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

void sendRaw(QEL::QelPeer* peer, const std::vector<uint8_t>& bytes) {
    if (!peer || !peer->host) return;
    for (size_t i = 0; i < peer->host->peerCount; ++i) {
        ENetPeer* other = &peer->host->peers[i];
        if (other->state != ENET_PEER_STATE_CONNECTED) continue;
        ENetPacket* packet = enet_packet_create(bytes.empty() ? nullptr : bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
        if (enet_peer_send(other, 0, packet) < 0) enet_packet_destroy(packet);
    }
    enet_host_flush(peer->host);
}

// False when the probe should end.
bool runCommand(QEL::cApp& app, const std::string& line) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    std::cout << "probe: " << line << std::endl;
    if (command == "quit") return false;
    if (command == "shoot") {
        int32_t shot = 0;
        words >> shot;
        app.sendShot(shot);
    } else if (command == "mode") {
        int32_t mode = 1;
        words >> mode;
        app.setMultiplayerMode(mode);
    } else if (command == "raw") {
        std::string hex;
        words >> hex;
        sendRaw(app.peer, parseHex(hex));
    } else if (command == "count") {
        std::cout << "probe: peerCount " << app.peerCount << " connections "
                  << (app.peer ? app.peer->numberOfConnections() : 0) << std::endl;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QEL::cApp* app = QEL::createApp(0, 0, 0, 1);
    if (!app) return 1;
    app->setMultiplayerMode(argc > 1 ? std::atoi(argv[1]) : 0);
    std::cout << "probe: ready" << std::endl;

    std::string pending;
    bool running = true;
    while (running) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, 5) > 0) {
            char buffer[4096];
            const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
            if (got <= 0) break;
            pending.append(buffer, size_t(got));
            for (size_t end; running && (end = pending.find('\n')) != std::string::npos;) {
                running = runCommand(*app, pending.substr(0, end));
                pending.erase(0, end + 1);
            }
        }
        if (app->peer) app->peer->pollMessages(false);
    }
    app->setMultiplayerMode(1);
    QEL::destroyApp(app);
    std::cout << "probe: done" << std::endl;
    return 0;
}
