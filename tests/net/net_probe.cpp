// net_probe [--room NAME] [--room-key FILE] [--port N] MODE: one copy's network side without a window (drawing calls go nowhere) for
// test_net.py. It switches networking on in MODE, polls the peer every few milliseconds and reads
// commands from standard input, one a line, echoing each as "probe: <command>":
//     shoot N | mode M     cApp::sendShot(N) | cApp::setMultiplayerMode(M)
//     raw HEX              these bytes as one reliable packet to every connected copy
//     loading 0|1          poll as during a weapon load (shots are ignored) or as usual
//     count                prints "probe: peerCount N connections N"
//     quit                 (or end of input) networking off, exit 0
#include "app/cApp.h"
#include "net/QelPeer.h"

#include <enet/enet.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    QEL::PeerSettings settings;
    std::string keyFile;
    int at = 1;
    for (; at + 1 < argc && std::string(argv[at]).compare(0, 2, "--") == 0; at += 2) {
        const std::string option = argv[at];
        if (option == "--room") settings.room = argv[at + 1];
        if (option == "--room-key") keyFile = argv[at + 1];
        if (option == "--port") settings.port = std::atoi(argv[at + 1]);
    }
    std::string error;
    settings.keyed = !keyFile.empty();
    if (settings.keyed && !QEL::readRoomKey(keyFile, settings.room, settings.key, error)) {
        std::cerr << error << std::endl;
        return 2;
    }
    QEL::cApp* app = QEL::createApp(0, 0, 0, 1);
    if (!app) return 1;
    app->setPeerSettings(settings);
    app->setMultiplayerMode(static_cast<QEL::TeamMode>(at < argc ? std::atoi(argv[at]) : 0));
    std::cout << "probe: ready" << std::endl;
    std::string pending, line;
    bool loading = false;
    for (bool running = true; running;) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        char buffer[4096];
        const ssize_t got = poll(&input, 1, 5) > 0 ? read(STDIN_FILENO, buffer, sizeof buffer) : -1;
        if (got == 0) break;
        pending.append(buffer, size_t(got > 0 ? got : 0));
        for (size_t end; running && (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            std::istringstream words(line = pending.substr(0, end));
            std::string command, argument;
            words >> command >> argument;
            std::cout << "probe: " << line << std::endl;
            running = command != "quit";
            if (command == "shoot") app->sendShot(std::atoi(argument.c_str()));
            if (command == "mode") app->setMultiplayerMode(static_cast<QEL::TeamMode>(std::atoi(argument.c_str())));
            if (command == "loading") loading = argument == "1";
            if (command == "count") {
                std::cout << "probe: peerCount " << app->connectedPeers() << " connections "
                          << (app->networkPeer() ? app->networkPeer()->numberOfConnections() : 0) << std::endl;
            }
            if (command == "raw" && app->networkPeer() && app->networkPeer()->host) {
                std::string bytes;
                for (size_t i = 0; i + 1 < argument.size(); i += 2) bytes += char(std::stoi(argument.substr(i, 2), 0, 16));
                ENetHost* host = app->networkPeer()->host;
                for (ENetPeer* other = host->peers; other < host->peers + host->peerCount; ++other) {
                    if (other->state == ENET_PEER_STATE_CONNECTED)
                        enet_peer_send(other, 0, enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE));
                }
                enet_host_flush(host);
            }
        }
        if (app->networkPeer()) app->networkPeer()->pollMessages(loading);
    }
    app->setMultiplayerMode(QEL::TeamMode::offline);
    QEL::destroyApp(app);
    std::cout << "probe: done" << std::endl;
    return 0;
}
