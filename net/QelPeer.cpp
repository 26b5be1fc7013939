#include "net/QelPeer.h"

#include "base/appTime.h"
#include "base/log.h"
#include "net/shotMessage.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <random>
#include <string>

namespace QEL {

namespace {

// The advertisement: identifier 29, a 4-byte mark that tells it from stray datagrams, the GUID.
constexpr uint8_t kAdvertisementMark[4] = {'Q', 'E', 'L', 1};
constexpr size_t kAdvertisementSize = 1 + sizeof kAdvertisementMark + 8;
constexpr size_t kHelloSize = 1 + 8;

// Disconnect notices carry why: a copy going away, or one of two crossed connections between the
// same two copies being given up. A timeout comes with 0.
constexpr enet_uint32 kGoodbyeNotice = 1;
constexpr enet_uint32 kDropNotice = 2;

// Every copy repeats its advertisement this often while networking is on.
constexpr uint32_t kAdvertiseIntervalMs = 5000;
// Reported advertisers remembered; past this many (copies restarted for hours) the list starts over.
constexpr size_t kMaxAdvertisersHeard = 256;
// A connection attempt gives up after 6 s, as 12 attempts 500 ms apart would.
constexpr enet_uint32 kConnectGiveUpMs = 6000;
// The goodbye notices get this long to leave before the host closes.
constexpr int kGoodbyeWaitMs = 10;
// One poll handles at most this many events; a flood waits for the next frame instead of
// stalling this one.
constexpr int kMaxEventsPerPoll = 1024;
// Receive errors (such as an oversized datagram) cost one datagram each; past this many in one
// poll the socket itself is taken to be failing.
constexpr int kMaxErrorsPerPoll = 256;

void writeBigEndian64(uint64_t value, uint8_t* out) {
    for (int i = 7; i >= 0; --i, value >>= 8) out[i] = uint8_t(value & 0xFF);
}

uint64_t readBigEndian64(const uint8_t* in) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | in[i];
    return value;
}

bool isAdvertisement(const uint8_t* data, size_t length) {
    if (length != kAdvertisementSize || data[0] != ID_ADVERTISE_SYSTEM) return false;
    for (size_t i = 0; i < sizeof kAdvertisementMark; ++i) {
        if (data[1 + i] != kAdvertisementMark[i]) return false;
    }
    return true;
}

// Sees every datagram before ENet parses it. An advertisement is not ENet's: it is handed to
// pollMessages as a receive event without a peer; the datagram stays in host->receivedData and
// host->receivedAddress until the next service call. Everything else goes on to ENet, which
// drops what it cannot read.
int ENET_CALLBACK interceptAdvertisement(ENetHost* host, ENetEvent* event) {
    if (!event || !isAdvertisement(host->receivedData, host->receivedDataLength)) return 0;
    event->type = ENET_EVENT_TYPE_RECEIVE;
    event->peer = nullptr;
    event->packet = nullptr;
    event->channelID = 0;
    event->data = 0;
    return 1;
}

uint64_t newGuid() {
    std::random_device source;
    uint64_t guid = 0;
    // 0 and all ones mean "no GUID" to whoever reads the logs; neither may name a copy.
    while (guid == 0 || guid == UINT64_MAX) guid = (uint64_t(source()) << 32) | source();
    return guid;
}

}  // namespace

void addressText(const ENetAddress& address, char (&text)[32]) {
    const uint8_t* octets = reinterpret_cast<const uint8_t*>(&address.host);  // network order
    std::snprintf(text, sizeof text, "%u.%u.%u.%u|%u", octets[0], octets[1], octets[2], octets[3],
                  unsigned(address.port));
}

void guidText(uint64_t guid, char (&text)[24]) { std::snprintf(text, sizeof text, "%" PRIu64, guid); }

QelPeer::QelPeer(QelPeerListener* listener) : listener(listener) {
    socketAddress.host = ENET_HOST_ANY;
    socketAddress.port = uint16_t(kPeerPort);
}

QelPeer::~QelPeer() {
    if (host) {
        for (size_t i = 0; i < host->peerCount; ++i) {
            if (host->peers[i].state != ENET_PEER_STATE_DISCONNECTED) enet_peer_disconnect(&host->peers[i], kGoodbyeNotice);
        }
        enet_host_flush(host);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGoodbyeWaitMs);
        ENetEvent event;
        while (std::chrono::steady_clock::now() < deadline) {
            if (enet_host_service(host, &event, 1) > 0 && event.type == ENET_EVENT_TYPE_RECEIVE && event.packet) {
                enet_packet_destroy(event.packet);
            }
        }
        enet_host_destroy(host);
        host = nullptr;
    }
    if (enetStarted) enet_deinitialize();
}

void QelPeer::startPeer() {
    std::printf("Starting the peer. port %d\n", kPeerPort);
    std::fflush(stdout);
    port = kPeerPort;
    socketAddress.host = ENET_HOST_ANY;
    socketAddress.port = uint16_t(port);
    if (host) return;  // one host per peer
    if (!enetStarted) enetStarted = enet_initialize() == 0;
    if (!enetStarted) return;
    host = enet_host_create(&socketAddress, kMaxPeerConnections, 1, 0, 0);
    if (!host) {
        std::fprintf(stderr, "kablix: UDP port %d is not available; networking stays silent\n", port);
        return;
    }
    host->intercept = interceptAdvertisement;
    links.assign(host->peerCount, Link{});
    myGuid = newGuid();
    advertise();
}

// One datagram to every machine on the local network; the copies already running connect to us.
void QelPeer::advertise() {
    uint8_t bytes[kAdvertisementSize];
    bytes[0] = ID_ADVERTISE_SYSTEM;
    for (size_t i = 0; i < sizeof kAdvertisementMark; ++i) bytes[1 + i] = kAdvertisementMark[i];
    writeBigEndian64(myGuid, bytes + 1 + sizeof kAdvertisementMark);
    enet_socket_set_option(host->socket, ENET_SOCKOPT_BROADCAST, 1);
    ENetAddress to;
    to.host = ENET_HOST_BROADCAST;
    to.port = uint16_t(port);
    ENetBuffer buffer;
    buffer.data = bytes;
    buffer.dataLength = sizeof bytes;
    // A network without a route for broadcasts only means nobody hears us.
    enet_socket_send(host->socket, &to, &buffer, 1);
    lastAdvertisedMs = appTimeMs();
}

void QelPeer::shoot(int32_t shotNumber) {
    std::string text;
    const ShotMessage message = encodeShotMessage(shotNumber, text);
    std::printf("\nQelPeer::shoot  %s, len = %d\n", text.c_str(), int(text.size()));
    std::fflush(stdout);
    if (!host) return;
    ENetPacket* shot = enet_packet_create(message.bytes, message.size, ENET_PACKET_FLAG_RELIABLE);
    if (!shot) return;
    for (const Link& link : links) {
        if (link.state == LinkState::linked) enet_peer_send(peerOf(link), 0, shot);
    }
    if (shot->referenceCount == 0) enet_packet_destroy(shot);
    enet_host_flush(host);
}

void QelPeer::pollMessages(bool ignoreShots) {
    if (!host) return;
    if (appTimeMs() - lastAdvertisedMs >= kAdvertiseIntervalMs) advertise();
    int errors = 0;
    for (int events = 0; events < kMaxEventsPerPoll;) {
        const int result = enet_host_service(host, &packet, 0);
        if (result == 0) break;
        if (result < 0) {
            if (++errors >= kMaxErrorsPerPoll) break;
            continue;
        }
        ++events;
        handleEvent(ignoreShots);
    }
    std::fflush(stdout);
}

void QelPeer::handleEvent(bool ignoreShots) {
    switch (packet.type) {
    case ENET_EVENT_TYPE_CONNECT:
        handleConnect(linkOf(packet.peer));
        break;
    case ENET_EVENT_TYPE_DISCONNECT:
        handleDisconnect(linkOf(packet.peer));
        break;
    case ENET_EVENT_TYPE_RECEIVE:
        if (!packet.peer) {
            handleAdvertisement();
            break;
        }
        handleReceive(linkOf(packet.peer), ignoreShots);
        enet_packet_destroy(packet.packet);
        packet.packet = nullptr;
        break;
    default:
        break;
    }
}

void QelPeer::handleAdvertisement() {
    const uint64_t guid = readBigEndian64(host->receivedData + 1 + sizeof kAdvertisementMark);
    if (isRepeatAdvertisement(guid, host->receivedAddress)) return;
    handleMessage(Message{ID_ADVERTISE_SYSTEM, host->receivedAddress, guid, nullptr, 0}, false);
}

// Repeats from ourselves or from a copy still linked change nothing and are not logged; an
// advertiser not linked (its link was lost, or it was never reached) is answered as new.
bool QelPeer::isRepeatAdvertisement(uint64_t guid, const ENetAddress& from) {
    for (const Advertiser& known : heard) {
        if (known.guid == guid && known.address.host == from.host && known.address.port == from.port)
            return guid == myGuid || knowsGuid(guid);
    }
    if (heard.size() >= kMaxAdvertisersHeard) heard.clear();
    heard.push_back(Advertiser{guid, from});
    return false;
}

// ENet has joined the two hosts; the connection counts once the other side's hello names it.
void QelPeer::handleConnect(Link& link) {
    if (link.state != LinkState::connecting) link = Link{};
    link.state = LinkState::awaitingHello;
    link.address = packet.peer->address;
    enet_peer_timeout(packet.peer, 0, 0, 0);  // ENet's own limits from now on
    uint8_t hello[kHelloSize];
    hello[0] = ID_HELLO;
    writeBigEndian64(myGuid, hello + 1);
    ENetPacket* message = enet_packet_create(hello, sizeof hello, ENET_PACKET_FLAG_RELIABLE);
    if (message && enet_peer_send(packet.peer, 0, message) < 0) enet_packet_destroy(message);
}

void QelPeer::handleDisconnect(Link& link) {
    const Link gone = link;
    link = Link{};
    if (gone.state == LinkState::linked && packet.data != kDropNotice) {
        const uint8_t id = packet.data == kGoodbyeNotice ? ID_DISCONNECTION_NOTIFICATION : ID_CONNECTION_LOST;
        handleMessage(messageFrom(gone, id), false);
    } else if (gone.state == LinkState::connecting) {
        handleMessage(messageFrom(gone, ID_CONNECTION_ATTEMPT_FAILED), false);
    }
    // Connections never reported (no hello yet, or given up as a duplicate) leave silently.
}

void QelPeer::handleReceive(Link& link, bool ignoreShots) {
    const uint8_t* data = packet.packet->data;
    const size_t length = packet.packet->dataLength;
    if (link.state == LinkState::awaitingHello) {
        handleHello(link, data, length);
        return;
    }
    // Nothing from a sender that never said who it is, and nothing without an identifier.
    if (link.state != LinkState::linked || length == 0) return;
    Message message = messageFrom(link, data[0]);
    message.data = data;
    message.length = length;
    handleMessage(message, ignoreShots);
}

void QelPeer::handleHello(Link& link, const uint8_t* data, size_t length) {
    if (length != kHelloSize || data[0] != ID_HELLO) return;
    link.guid = readBigEndian64(data + 1);
    if (link.guid == myGuid) {  // an advertisement that named our own address
        dropLink(link);
        return;
    }
    for (Link& other : links) {
        if (&other == &link || other.state != LinkState::linked || other.guid != link.guid) continue;
        // Two copies that heard each other at once connected twice; both sides keep the same one.
        if (keepsNewLink(link, other)) {
            dropLink(other);
            link.state = LinkState::linked;
        } else {
            dropLink(link);
        }
        return;
    }
    link.state = LinkState::linked;
    handleMessage(messageFrom(link, link.outgoing ? ID_CONNECTION_REQUEST_ACCEPTED : ID_NEW_INCOMING_CONNECTION), false);
}

// The connection asked for by the copy with the lower GUID wins.
bool QelPeer::keepsNewLink(const Link& newLink, const Link& oldLink) const {
    const uint64_t newInitiator = newLink.outgoing ? myGuid : newLink.guid;
    const uint64_t oldInitiator = oldLink.outgoing ? myGuid : oldLink.guid;
    return newInitiator < oldInitiator;
}

void QelPeer::dropLink(Link& link) {
    link.state = LinkState::dropping;
    enet_peer_disconnect(peerOf(link), kDropNotice);
}

void QelPeer::handleMessage(const Message& message, bool ignoreShots) {
    char from[32];
    char guid[24];
    addressText(message.from, from);
    guidText(message.guid, guid);
    std::printf("Got msg from %s %s\n", from, guid);
    printConnections();
    // A connected copy's data can only be a shot; connection events come from ENet itself.
    if (message.data && message.id != ID_SHOT) {
        std::printf("Message with identifier %i has arrived.\n", int(message.id));
        return;
    }
    switch (message.id) {
    case ID_CONNECTION_REQUEST_ACCEPTED:
        std::printf("ID_CONNECTION_REQUEST_ACCEPTED by: %s %s \n", from, guid);
        peerConnected();
        break;
    case ID_NEW_INCOMING_CONNECTION:
        std::printf("ID_NEW_INCOMING_CONNECTION A connection is incoming. \n");
        peerConnected();
        break;
    case ID_CONNECTION_LOST:
        std::printf("ID_CONNECTION_LOST A peer has lost the connection.\n");
        peerDisconnected();
        break;
    case ID_DISCONNECTION_NOTIFICATION:
        // A copy that leaves cleanly is gone as surely as one that timed out.
        std::printf("Message with identifier %i has arrived.\n", int(message.id));
        peerDisconnected();
        break;
    case ID_ADVERTISE_SYSTEM:
        if (!knowsGuid(message.guid) && message.guid != myGuid) {
            connectTo(message);
            std::printf("ID_ADVERTISE_SYSTEM Connecting to new system %s %s\n", from, guid);
        } else {
            std::printf("ID_ADVERTISE_SYSTEM Was sent from %s %s\n", from, guid);
        }
        break;
    case ID_SHOT:
        if (ignoreShots) {
            std::printf("ID_SHOT Was IGNORED from %s %s\n", from, guid);
            break;
        }
        handleShot(message);
        std::printf("ID_SHOT Was sent from %s %s\n", from, guid);
        break;
    default:
        std::printf("Message with identifier %i has arrived.\n", int(message.id));
        break;
    }
}

// A shot that cannot be read arrives as shot 0, which the team rule ignores with its own line.
void QelPeer::handleShot(const Message& message) {
    std::string text;
    int32_t shotNumber = 0;
    decodeShotMessage(message.data, message.length, text, shotNumber);
    std::printf("Got ID_SHOT : %s\n", text.c_str());
    std::printf("gotshot %d\n", shotNumber);
    if (listener) listener->shotReceived(shotNumber);
}

void QelPeer::connectTo(const Message& message) {
    ENetPeer* peer = enet_host_connect(host, &message.from, 1, 0);
    if (!peer) return;  // every slot taken
    enet_peer_timeout(peer, 0, kConnectGiveUpMs, kConnectGiveUpMs);
    Link& link = linkOf(peer);
    link = Link{};
    link.state = LinkState::connecting;
    link.outgoing = true;
    link.guid = message.guid;
    link.address = message.from;
}

bool QelPeer::knowsGuid(uint64_t guid) const {
    for (const Link& link : links) {
        if (link.guid == guid && (link.state == LinkState::connecting || link.state == LinkState::linked)) return true;
    }
    return false;
}

void QelPeer::printConnections() {
    char mine[24];
    guidText(myGuid, mine);
    std::printf("---\nMe %s: Connected to: (%d) \n", mine, numberOfConnections());
    for (const Link& link : links) {
        if (link.state != LinkState::linked) continue;
        char guid[24];
        guidText(link.guid, guid);
        std::printf("     %s \n", guid);
    }
    std::printf("---\n");
}

int32_t QelPeer::numberOfConnections() const {
    int32_t count = 0;
    for (const Link& link : links) count += link.state == LinkState::linked ? 1 : 0;
    return count;
}

void QelPeer::peerConnected() {
    const int32_t count = numberOfConnections();
    std::printf("peerConnected %d\n", count);
    if (!listener) return;
    logStatus("new peer");
    listener->peerCountChanged(count);
}

void QelPeer::peerDisconnected() {
    const int32_t count = numberOfConnections();
    std::printf("peerDiscon %d\n", count);
    if (!listener) return;
    logStatus("lost peer");
    listener->peerCountChanged(count);
}

QelPeer::Link& QelPeer::linkOf(const ENetPeer* peer) { return links[size_t(peer - host->peers)]; }

ENetPeer* QelPeer::peerOf(const Link& link) { return &host->peers[&link - links.data()]; }

QelPeer::Message QelPeer::messageFrom(const Link& link, uint8_t id) const {
    return Message{id, link.address, link.guid, nullptr, 0};
}

}  // namespace QEL
