#include "net/QelPeer.h"

#include "base/appTime.h"
#include "base/log.h"
#include "net/shotMessage.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace QEL {

namespace {

// The advertisement: identifier 29, a 4-byte mark that tells it from stray datagrams, the GUID.
// In a named room the mark's last byte is 2 and the room's name follows, after its length.
constexpr uint8_t kAdvertisementMark[4] = {'Q', 'E', 'L', 1};
constexpr uint8_t kRoomMark = 2;
constexpr size_t kAdvertisementSize = 1 + sizeof kAdvertisementMark + 8;
// The hello: identifier 133 and the GUID; in a named room then the sender's mode, its nonce for
// this link and the room's name after its length.
constexpr size_t kHelloSize = 1 + 8;
constexpr size_t kRoomHelloSize = kHelloSize + 1 + kLinkNonceSize + 1;
constexpr size_t kProofSize = 1 + kRoomProofSize;

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
// Attempts under way to one address at once: advertisements made up by one machine take no more.
constexpr size_t kAttemptsPerAddress = 2;
// The goodbye notices get this long to leave before the host closes.
constexpr int kGoodbyeWaitMs = 10;
// One poll reads the socket until it is empty or this much time has gone: a flood of datagrams
// neither starves the links behind it nor stalls the frame.
constexpr auto kDrainTime = std::chrono::milliseconds(8);
// Receive errors (such as an oversized datagram) cost one datagram each; past this many in one
// poll the socket itself is taken to be failing.
constexpr int kMaxErrorsPerPoll = 256;
// Our messages are at most a room hello; anything much larger is not ours.
constexpr size_t kMaxPacketSize = 256;
constexpr size_t kMaxWaitingData = 16 * 1024;
constexpr int kReceiveBuffer = 1024 * 1024;
// Connection lists longer than this are written in full only when they changed.
constexpr int32_t kListedLinks = 4;
// What the hit line the listener writes for a logged shot costs the log's budget.
constexpr int32_t kHitLineBytes = 40;
constexpr uint32_t kSummaryIntervalMs = 1000;

void writeBigEndian64(uint64_t value, uint8_t* out) {
    for (int i = 7; i >= 0; --i, value >>= 8) out[i] = uint8_t(value & 0xFF);
}

uint64_t readBigEndian64(const uint8_t* in) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | in[i];
    return value;
}

bool hasAdvertisementMark(const uint8_t* data, size_t length) {
    if (length < kAdvertisementSize || length > kAdvertisementSize + 1 + kMaxRoomName) return false;
    if (data[0] != ID_ADVERTISE_SYSTEM) return false;
    return std::memcmp(data + 1, kAdvertisementMark, sizeof kAdvertisementMark - 1) == 0;
}

// Sees every datagram before ENet parses it. An advertisement (of any room) is not ENet's: it is
// handed to pollMessages as a receive event without a peer; the datagram stays in
// host->receivedData and host->receivedAddress until the next service call. Everything else goes
// on to ENet, which drops what it cannot read.
int ENET_CALLBACK interceptAdvertisement(ENetHost* host, ENetEvent* event) {
    if (!event || !hasAdvertisementMark(host->receivedData, host->receivedDataLength)) return 0;
    event->type = ENET_EVENT_TYPE_RECEIVE;
    event->peer = nullptr;
    event->packet = nullptr;
    event->channelID = 0;
    event->data = 0;
    return 1;
}

bool sameAddress(const ENetAddress& a, const ENetAddress& b) { return a.host == b.host && a.port == b.port; }

bool isTeamMode(int32_t mode) { return mode >= 2 && mode <= 4; }

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

bool validRoomName(const std::string& room) {
    if (room.empty() || room.size() > kMaxRoomName) return false;
    for (char c : room) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!plain && c != '.' && c != '_' && c != '-') return false;
    }
    return true;
}

QelPeer::QelPeer(QelPeerListener* listener, PeerSettings settings) : listener(listener), config(std::move(settings)) {
    port = config.port;
    socketAddress.host = ENET_HOST_ANY;
    socketAddress.port = uint16_t(port);
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
    std::printf("Starting the peer. port %d\n", config.port);
    std::fflush(stdout);
    port = config.port;
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
    host->duplicatePeers = kLinksPerAddress;
    host->maximumPacketSize = kMaxPacketSize;
    host->maximumWaitingData = kMaxWaitingData;
    enet_socket_set_option(host->socket, ENET_SOCKOPT_RCVBUF, kReceiveBuffer);
    links.assign(host->peerCount, Link{});
    myGuid = newGuid();
    advertise();
}

// One datagram to every machine on the local network; the copies already running connect to us.
void QelPeer::advertise() {
    uint8_t bytes[kAdvertisementSize + 1 + kMaxRoomName];
    bytes[0] = ID_ADVERTISE_SYSTEM;
    for (size_t i = 0; i < sizeof kAdvertisementMark; ++i) bytes[1 + i] = kAdvertisementMark[i];
    writeBigEndian64(myGuid, bytes + 1 + sizeof kAdvertisementMark);
    size_t size = kAdvertisementSize;
    if (!config.room.empty()) {
        bytes[sizeof kAdvertisementMark] = kRoomMark;
        bytes[size++] = uint8_t(config.room.size());
        std::memcpy(bytes + size, config.room.data(), config.room.size());
        size += config.room.size();
    }
    enet_socket_set_option(host->socket, ENET_SOCKOPT_BROADCAST, 1);
    ENetAddress to;
    to.host = ENET_HOST_BROADCAST;
    to.port = uint16_t(port);
    ENetBuffer buffer;
    buffer.data = bytes;
    buffer.dataLength = size;
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
    drainSocket(ignoreShots);
    checkLinks();
    std::fflush(stdout);
}

// ENet reads at most 256 datagrams a call and returns empty-handed when they were all junk, so
// the socket is served again while it still holds data.
void QelPeer::drainSocket(bool ignoreShots) {
    const auto deadline = std::chrono::steady_clock::now() + kDrainTime;
    int errors = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        const int result = enet_host_service(host, &packet, 0);
        if (result > 0) {
            handleEvent(ignoreShots);
            continue;
        }
        if (result < 0 && ++errors >= kMaxErrorsPerPoll) break;
        if (result == 0 && !socketHasData()) break;
    }
}

bool QelPeer::socketHasData() const {
    enet_uint32 condition = ENET_SOCKET_WAIT_RECEIVE;
    return enet_socket_wait(host->socket, &condition, 0) == 0 && (condition & ENET_SOCKET_WAIT_RECEIVE);
}

// Links that never said who they are give their slot back; what was dropped or left unlogged is
// summed up; the owner hears of refusals and drops once a second at most.
void QelPeer::checkLinks() {
    const uint32_t now = appTimeMs();
    for (Link& link : links) {
        const bool waiting = link.state == LinkState::awaitingHello || link.state == LinkState::awaitingProof;
        if (waiting && now - link.sinceMs >= kHelloWaitMs) refuseLink(link, "no hello in time");
        if (link.tally.any() && now - link.summaryMs >= kSummaryIntervalMs) writeSummary(link, now);
    }
    if ((refusedTotal == toldRefused && droppedTotal == toldDropped) || now - lastCheckMs < kSummaryIntervalMs) return;
    lastCheckMs = now;
    toldRefused = refusedTotal;
    toldDropped = droppedTotal;
    if (listener) listener->linkTroubleChanged(refusedTotal, droppedTotal);
}

void QelPeer::writeSummary(Link& link, uint32_t nowMs) {
    char from[32];
    char guid[24];
    addressText(link.address, from);
    guidText(link.guid, guid);
    const Tally& t = link.tally;
    say("ID_SHOT summary from %s %s: %d taken unlogged, %d dropped over the budget, %d naming no effect, "
        "%d of another team; %d other messages unlogged\n",
        from, guid, t.unlogged, t.overBudget, t.unknown, t.wrongTeam, t.unsaid);
    link.tally = Tally{};
    link.summaryMs = nowMs;
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

// Advertisements of other rooms are not news; a made-up one per address at a time is enough.
void QelPeer::handleAdvertisement() {
    const uint8_t* data = host->receivedData;
    const size_t length = host->receivedDataLength;
    const size_t mark = sizeof kAdvertisementMark;
    if (config.room.empty()) {
        if (length != kAdvertisementSize || data[mark] != kAdvertisementMark[mark - 1]) return;
    } else {
        if (data[mark] != kRoomMark || !namesOurRoom(data, length, kAdvertisementSize + 1)) return;
    }
    const uint64_t guid = readBigEndian64(data + 1 + mark);
    const ENetAddress from = host->receivedAddress;
    if (isRepeatAdvertisement(guid, from)) return;
    const bool wouldConnect = guid != myGuid && !knowsGuid(guid);
    if (wouldConnect && attemptsTo(from) >= kAttemptsPerAddress) return;
    const Message message{ID_ADVERTISE_SYSTEM, from, guid, nullptr, 0};
    if (mayLog()) return handleMessage(message, false);
    if (wouldConnect) connectTo(message);  // unlogged: the lines are what the budget holds back
}

// Repeats from ourselves or from a copy still linked change nothing and are not logged; an
// advertiser not linked (its link was lost, or it was never reached) is answered as new.
bool QelPeer::isRepeatAdvertisement(uint64_t guid, const ENetAddress& from) {
    for (const Advertiser& known : heard) {
        if (known.guid == guid && sameAddress(known.address, from)) return guid == myGuid || knowsGuid(guid);
    }
    if (heard.size() >= kMaxAdvertisersHeard) heard.clear();
    heard.push_back(Advertiser{guid, from});
    return false;
}

// Whether the message of `length` bytes at `data` ends in this room's name, at `nameAt` after
// its length byte.
bool QelPeer::namesOurRoom(const uint8_t* data, size_t length, size_t nameAt) const {
    const std::string& room = config.room;
    return length == nameAt + room.size() && data[nameAt - 1] == room.size() &&
           std::memcmp(data + nameAt, room.data(), room.size()) == 0;
}

size_t QelPeer::attemptsTo(const ENetAddress& address) const {
    size_t attempts = 0;
    for (const Link& link : links) attempts += link.state == LinkState::connecting && link.address.host == address.host;
    return attempts;
}

// ENet has joined the two hosts; the connection counts once the other side's hello names it.
void QelPeer::handleConnect(Link& link) {
    if (link.state != LinkState::connecting) link = Link{};
    link.state = LinkState::awaitingHello;
    link.address = packet.peer->address;
    link.sinceMs = appTimeMs();
    link.nonce = newLinkNonce();
    enet_peer_timeout(packet.peer, 0, 0, 0);  // ENet's own limits from now on
    sendHello(packet.peer, link);
}

void QelPeer::sendHello(ENetPeer* peer, const Link& link) {
    uint8_t hello[kRoomHelloSize + kMaxRoomName];
    hello[0] = ID_HELLO;
    writeBigEndian64(myGuid, hello + 1);
    size_t size = kHelloSize;
    if (!config.room.empty()) {
        hello[size++] = uint8_t(config.team);
        std::memcpy(hello + size, link.nonce.data(), link.nonce.size());
        size += link.nonce.size();
        hello[size++] = uint8_t(config.room.size());
        std::memcpy(hello + size, config.room.data(), config.room.size());
        size += config.room.size();
    }
    ENetPacket* message = enet_packet_create(hello, size, ENET_PACKET_FLAG_RELIABLE);
    if (message && enet_peer_send(peer, 0, message) < 0) enet_packet_destroy(message);
}

void QelPeer::handleDisconnect(Link& link) {
    Link gone = link;
    link = Link{};
    if (gone.tally.any()) writeSummary(gone, appTimeMs());  // the last second of a link that went
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
    if (link.state == LinkState::awaitingProof) {
        handleProof(link, data, length);
        return;
    }
    // Nothing from a sender that never said who it is, and nothing without an identifier.
    if (link.state != LinkState::linked || length == 0) return;
    if (data[0] == ID_SHOT) {
        handleShotPacket(link, data, length, ignoreShots);
        return;
    }
    if (!mayLog()) {
        ++link.tally.unsaid;
        return;
    }
    Message message = messageFrom(link, data[0]);
    message.data = data;
    message.length = length;
    handleMessage(message, ignoreShots);
}

// The first message must be a hello of this room; in a room with a key a proof follows it.
void QelPeer::handleHello(Link& link, const uint8_t* data, size_t length) {
    const bool room = !config.room.empty();
    if (length == 0 || data[0] != ID_HELLO) return refuseLink(link, "its first message was no hello");
    if (!room && length != kHelloSize) return refuseLink(link, "it is in a named room");
    if (room) {
        if (!namesOurRoom(data, length, kRoomHelloSize)) return refuseLink(link, "it is in another room");
        link.team = data[kHelloSize];
        if (link.team != 0 && !isTeamMode(link.team)) return refuseLink(link, "its hello names no game mode");
        std::memcpy(link.theirNonce.data(), data + kHelloSize + 1, kLinkNonceSize);
    }
    link.guid = readBigEndian64(data + 1);
    if (link.guid == myGuid) {  // an advertisement that named our own address
        dropLink(link);
        return;
    }
    if (!config.keyed) return admitLink(link);
    uint8_t proof[kProofSize];
    proof[0] = ID_PROOF;
    const RoomProof mine = makeRoomProof(config.key, config.room, {myGuid, link.guid, link.nonce, link.theirNonce});
    std::memcpy(proof + 1, mine.data(), mine.size());
    ENetPacket* message = enet_packet_create(proof, sizeof proof, ENET_PACKET_FLAG_RELIABLE);
    if (message && enet_peer_send(peerOf(link), 0, message) < 0) enet_packet_destroy(message);
    link.state = LinkState::awaitingProof;
}

void QelPeer::handleProof(Link& link, const uint8_t* data, size_t length) {
    if (length != kProofSize || data[0] != ID_PROOF) return refuseLink(link, "it sent no proof of the room key");
    RoomProof theirs;
    std::memcpy(theirs.data(), data + 1, theirs.size());
    if (!checkRoomProof(config.key, config.room, {link.guid, myGuid, link.theirNonce, link.nonce}, theirs))
        return refuseLink(link, "its room key is another");
    admitLink(link);
}

// A GUID already linked: two copies that heard each other at once connected twice (both links
// come from the one address), and both sides keep the same one. From anywhere else the newcomer
// is refused while the first link lives, unless it proved the room's key.
void QelPeer::admitLink(Link& link) {
    for (Link& other : links) {
        if (&other == &link || other.state != LinkState::linked || other.guid != link.guid) continue;
        if (sameAddress(other.address, link.address) ? keepsNewLink(link, other) : config.keyed) {
            dropLink(other);
            link.state = LinkState::linked;
        } else if (sameAddress(other.address, link.address)) {
            dropLink(link);
        } else {
            refuseLink(link, "its GUID is linked already from another address");
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

// Said on standard error, which no flood reaches faster than connections can be made.
void QelPeer::refuseLink(Link& link, const char* why) {
    char from[32];
    addressText(link.address, from);
    std::fprintf(stderr, "kablix: link from %s refused: %s\n", from, why);
    ++refusedTotal;
    enet_peer_disconnect_now(peerOf(link), kDropNotice);
    link = Link{};
}

void QelPeer::handleShotPacket(Link& link, const uint8_t* data, size_t length, bool ignoreShots) {
    const uint32_t now = appTimeMs();
    std::string text;
    int32_t received = 0;
    decodeShotMessage(data, length, text, received);
    const ShotFault fault = judgeShot(link, received, now);
    if (fault != ShotFault::none) return countFault(link, fault);
    if (!mayLog()) {
        if (ignoreShots) return;
        ++link.tally.unlogged;
        if (listener) listener->shotReceived(received, false);
        return;
    }
    Message message = messageFrom(link, ID_SHOT);
    message.data = data;
    message.length = length;
    handleMessage(message, ignoreShots);
}

// A shot is taken when the link's budget allows one, it carries the team the link's hello named
// (in a room), and it names a hit this copy knows. An unreadable shot (0) is taken too: the team
// rule reports it with its own line.
QelPeer::ShotFault QelPeer::judgeShot(Link& link, int32_t received, uint32_t nowMs) {
    if (!link.shots.take(nowMs)) return ShotFault::overBudget;
    if (received == 0) return ShotFault::none;
    const ReceivedShot shot = untagShot(received);
    if (link.team >= 0) {
        const int32_t tag = isTeamMode(link.team) ? link.team : -1;
        if (shot.team != tag) return ShotFault::wrongTeam;
        if (shot.team == -1 && isTeamMode(config.team)) return ShotFault::wrongTeam;
    }
    if (listener && !listener->knowsShot(shot.shotNumber)) return ShotFault::unknown;
    return ShotFault::none;
}

void QelPeer::countFault(Link& link, ShotFault fault) {
    ++droppedTotal;
    switch (fault) {
    case ShotFault::overBudget: ++link.tally.overBudget; break;
    case ShotFault::unknown: ++link.tally.unknown; break;
    case ShotFault::wrongTeam: ++link.tally.wrongTeam; break;
    case ShotFault::none: break;
    }
    if (appTimeMs() - link.summaryMs >= kSummaryIntervalMs) writeSummary(link, appTimeMs());
}

void QelPeer::handleMessage(const Message& message, bool ignoreShots) {
    char from[32];
    char guid[24];
    addressText(message.from, from);
    guidText(message.guid, guid);
    say("Got msg from %s %s\n", from, guid);
    printConnections();
    // A connected copy's data can only be a shot; connection events come from ENet itself.
    if (message.data && message.id != ID_SHOT) {
        say("Message with identifier %i has arrived.\n", int(message.id));
        return;
    }
    switch (message.id) {
    case ID_CONNECTION_REQUEST_ACCEPTED:
        say("ID_CONNECTION_REQUEST_ACCEPTED by: %s %s \n", from, guid);
        peerConnected();
        break;
    case ID_NEW_INCOMING_CONNECTION:
        say("ID_NEW_INCOMING_CONNECTION A connection is incoming. \n");
        peerConnected();
        break;
    case ID_CONNECTION_LOST:
        say("ID_CONNECTION_LOST A peer has lost the connection.\n");
        peerDisconnected();
        break;
    case ID_DISCONNECTION_NOTIFICATION:
        // A copy that leaves cleanly is gone as surely as one that timed out.
        say("Message with identifier %i has arrived.\n", int(message.id));
        peerDisconnected();
        break;
    case ID_ADVERTISE_SYSTEM:
        if (!knowsGuid(message.guid) && message.guid != myGuid) {
            connectTo(message);
            say("ID_ADVERTISE_SYSTEM Connecting to new system %s %s\n", from, guid);
        } else {
            say("ID_ADVERTISE_SYSTEM Was sent from %s %s\n", from, guid);
        }
        break;
    case ID_SHOT:
        if (ignoreShots) {
            say("ID_SHOT Was IGNORED from %s %s\n", from, guid);
            break;
        }
        handleShot(message);
        say("ID_SHOT Was sent from %s %s\n", from, guid);
        break;
    default:
        say("Message with identifier %i has arrived.\n", int(message.id));
        break;
    }
}

// A shot that cannot be read arrives as shot 0, which the team rule ignores with its own line.
void QelPeer::handleShot(const Message& message) {
    std::string text;
    int32_t shotNumber = 0;
    decodeShotMessage(message.data, message.length, text, shotNumber);
    say("Got ID_SHOT : %s\n", text.c_str());
    say("gotshot %d\n", shotNumber);
    logBytes.spend(appTimeMs(), kHitLineBytes);
    if (listener) listener->shotReceived(shotNumber, true);
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

// A short list is written with every message, as it always was; a long one in full only when it
// changed, and as its count otherwise.
void QelPeer::printConnections() {
    char mine[24];
    guidText(myGuid, mine);
    const int32_t count = numberOfConnections();
    say("---\nMe %s: Connected to: (%d) \n", mine, count);
    uint64_t signature = uint64_t(count);
    for (const Link& link : links) signature = signature * 31 + (link.state == LinkState::linked ? link.guid : 0);
    if (count <= kListedLinks || signature != listedSignature) {
        listedSignature = signature;
        for (const Link& link : links) {
            if (link.state != LinkState::linked) continue;
            char guid[24];
            guidText(link.guid, guid);
            say("     %s \n", guid);
        }
    }
    say("---\n");
}

int32_t QelPeer::numberOfConnections() const {
    int32_t count = 0;
    for (const Link& link : links) count += link.state == LinkState::linked ? 1 : 0;
    return count;
}

void QelPeer::peerConnected() {
    const int32_t count = numberOfConnections();
    say("peerConnected %d\n", count);
    if (!listener) return;
    logStatus("new peer");
    listener->peerCountChanged(count);
}

void QelPeer::peerDisconnected() {
    const int32_t count = numberOfConnections();
    say("peerDiscon %d\n", count);
    if (!listener) return;
    logStatus("lost peer");
    listener->peerCountChanged(count);
}

bool QelPeer::mayLog() { return logBytes.hasAny(appTimeMs()); }

// Every line received traffic makes is written here, and paid for from the log's budget.
int QelPeer::say(const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length <= 0) return length;
    const size_t written = std::min(size_t(length), sizeof line - 1);
    std::fwrite(line, 1, written, stdout);
    logBytes.spend(appTimeMs(), int32_t(written));
    return length;
}

QelPeer::Link& QelPeer::linkOf(const ENetPeer* peer) { return links[size_t(peer - host->peers)]; }

ENetPeer* QelPeer::peerOf(const Link& link) { return &host->peers[&link - links.data()]; }

QelPeer::Message QelPeer::messageFrom(const Link& link, uint8_t id) const {
    return Message{id, link.address, link.guid, nullptr, 0};
}

}  // namespace QEL
