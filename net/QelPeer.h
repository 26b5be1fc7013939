// QelPeer: this copy's link to the other copies on the local network. It owns one ENet host on
// UDP port 54776 (or the one its settings name), announces itself with a broadcast advertisement
// at start and every 5 seconds after (so that a copy whose link dropped, or that missed the first
// one, finds the others again), connects to every other copy it hears advertising, sends shots to
// all connected copies and reports every network event as a plain printf line; received shots and peer counts go to a listener. Built and
// destroyed by the application while networking is on; used only on the main thread. ENet has no
// threads of its own: all sending and receiving happens inside pollMessages (each frame), shoot
// and the destructor.
//
// Every start draws a random 64-bit GUID. It travels in the advertisement and, once ENet has
// connected two hosts, in a hello message each side sends first; a connection counts (and is
// reported) only when the other side's GUID is known.
//
// A copy may sit in a named room (copies of other rooms never link; the default room's messages
// are the original ones) and hold the room's key (a link then also needs the other side's proof).
// What arrives is held to limits, so a hostile copy on the network can neither flood the player
// nor the log: each link may deliver shots only as fast as a weapon can fire, a shot must name a
// hit effect, one address holds a few slots at most, a link that never says hello is dropped,
// a GUID already linked cannot be taken over from elsewhere, and the lines written for received
// traffic are held to a byte budget (what goes unsaid is summed up once a second per link).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <enet/enet.h>

#include "net/roomKey.h"
#include "net/tokenBucket.h"

namespace QEL {

// What the peer tells its owner, on the main thread inside pollMessages.
class QelPeerListener {
public:
    virtual ~QelPeerListener() = default;
    // A shot number arrived from another copy (0 when its message could not be read); `logged`
    // is false when the log's budget is spent and the hit should leave no line either.
    virtual void shotReceived(int32_t shotNumber, bool logged) = 0;
    // The number of connected copies changed to `count`.
    virtual void peerCountChanged(int32_t count) = 0;
    // Whether the untagged shot number names a hit this copy can show; others are dropped.
    virtual bool knowsShot(int32_t shotNumber) { return (void)shotNumber, true; }
    // Links refused and shots dropped since the peer started, told at most once a second.
    virtual void linkTroubleChanged(int32_t refused, int32_t dropped) { (void)refused, (void)dropped; }
};

// Message identifiers the peer reports, as the other copies' logs know them.
enum PeerMessageId : uint8_t {
    ID_CONNECTION_REQUEST_ACCEPTED = 16,
    ID_CONNECTION_ATTEMPT_FAILED = 17,
    ID_NEW_INCOMING_CONNECTION = 19,
    ID_DISCONNECTION_NOTIFICATION = 21,
    ID_CONNECTION_LOST = 22,
    ID_ADVERTISE_SYSTEM = 29,
    ID_SHOT = 132,
    ID_HELLO = 133,  // our own: the sender's GUID, first message on every connection
    ID_PROOF = 134,  // our own, in a room with a key: the sender's proof, after the hello
};

constexpr int32_t kPeerPort = 54776;
constexpr size_t kMaxPeerConnections = 100;
// A weapon's frames advance 30 times a second and a frame sends at most one shot: no link
// delivers more, beyond a short burst for a link that stalled.
constexpr int32_t kShotsPerSecond = 30;
constexpr int32_t kShotBurst = 10;
// Bytes a second (and at once) that received traffic may add to standard output.
constexpr int32_t kLogBytesPerSecond = 8 * 1024;
// Connections one IP address may hold on this host (two copies link twice for a moment).
constexpr size_t kLinksPerAddress = 4;
// A connection that has not said hello (and, with a key, proved it) by then is dropped.
constexpr uint32_t kHelloWaitMs = 3000;
constexpr size_t kMaxRoomName = 32;

// How a peer is set up; the defaults are the one game everybody joins.
struct PeerSettings {
    int32_t port = kPeerPort;
    std::string room;     // empty: the default room
    bool keyed = false;   // the room's copies must prove they hold `key`
    RoomKey key{};
    int32_t team = 0;     // this copy's multiplayer mode, which a room's hello fixes for the link
};

// A room name: 1 to 32 of the letters, digits, '.', '_' and '-'.
bool validRoomName(const std::string& room);

class QelPeer {
public:
    // Stores `listener` (may be null: shots and peer counts then go nowhere); networking starts
    // with startPeer.
    explicit QelPeer(QelPeerListener* listener, PeerSettings settings = PeerSettings());
    // Tells every connected copy goodbye, waits up to 10 ms for the notices to go out, and
    // releases the host.
    ~QelPeer();
    QelPeer(const QelPeer&) = delete;
    QelPeer& operator=(const QelPeer&) = delete;

    // Opens the port and sends the first advertisement. A port already in use leaves the peer
    // without a host: it then only stays silent.
    void startPeer();
    // Sends ID_SHOT with `shotNumber` to every connected copy.
    void shoot(int32_t shotNumber);
    // Handles everything that arrived since the last call (reading the socket until it is empty,
    // for a few milliseconds at most), drops links that said no hello in time, writes the
    // summaries due and advertises again when it is time; with `ignoreShots` received shots are
    // dropped with a line.
    void pollMessages(bool ignoreShots);
    void printConnections();
    void peerConnected();
    void peerDisconnected();

    uint64_t getMyGUID() const { return myGuid; }
    int32_t numberOfConnections() const;

    ENetHost* host = nullptr;     // owned; null before startPeer or when the port is taken
    ENetEvent packet{};           // the event being handled by pollMessages
    ENetAddress socketAddress{};  // every local address, the settings' port
    int32_t port = kPeerPort;     // the settings' port once started
    QelPeerListener* listener;    // not owned

private:
    // What this peer knows of one of the host's ENet peer slots.
    enum class LinkState { unused, connecting, awaitingHello, awaitingProof, linked, dropping };
    // What a link's traffic came to since its last summary line.
    struct Tally {
        int32_t unlogged = 0;   // shots taken without their lines
        int32_t overBudget = 0; // shots past the link's budget
        int32_t unknown = 0;    // shots naming no hit effect
        int32_t wrongTeam = 0;  // shots tagged with another team than the link's, or untagged in a team game
        int32_t unsaid = 0;     // other messages left unlogged
        bool any() const { return unlogged || overBudget || unknown || wrongTeam || unsaid; }
    };
    struct Link {
        LinkState state = LinkState::unused;
        bool outgoing = false;  // this side asked for the connection
        uint64_t guid = 0;      // advertised, then the one its hello gave
        ENetAddress address{};  // kept here: ENet clears its peer before reporting a disconnect
        uint32_t sinceMs = 0;   // when ENet joined the hosts
        int32_t team = -1;      // a room's hello fixes the sender's mode; -1 in the default room
        LinkNonce nonce{};      // ours, for this link
        LinkNonce theirNonce{};
        TokenBucket shots{kShotsPerSecond, kShotBurst};
        Tally tally;
        uint32_t summaryMs = 0; // when the last summary line was written
    };
    enum class ShotFault { none, overBudget, unknown, wrongTeam };
    // One received message or connection event, as handleEvent dispatches it by its identifier.
    struct Message {
        uint8_t id;
        ENetAddress from;
        uint64_t guid;
        const uint8_t* data;  // the whole packet, identifier first; null for connection events
        size_t length;
    };

    void advertise();
    bool isRepeatAdvertisement(uint64_t guid, const ENetAddress& from);
    void handleEvent(bool ignoreShots);
    void handleAdvertisement();
    void handleConnect(Link& link);
    void handleDisconnect(Link& link);
    void handleReceive(Link& link, bool ignoreShots);
    void handleHello(Link& link, const uint8_t* data, size_t length);
    void handleProof(Link& link, const uint8_t* data, size_t length);
    void admitLink(Link& link);
    void refuseLink(Link& link, const char* why);
    void handleShotPacket(Link& link, const uint8_t* data, size_t length, bool ignoreShots);
    ShotFault judgeShot(Link& link, int32_t received, uint32_t nowMs);
    void countFault(Link& link, ShotFault fault);
    void sendHello(ENetPeer* peer, const Link& link);
    void drainSocket(bool ignoreShots);
    bool socketHasData() const;
    void checkLinks();
    void writeSummary(Link& link, uint32_t nowMs);
    bool mayLog();
    int say(const char* format, ...) __attribute__((format(printf, 2, 3)));
    size_t attemptsTo(const ENetAddress& address) const;
    bool namesOurRoom(const uint8_t* data, size_t length, size_t nameAt) const;
    void handleMessage(const Message& message, bool ignoreShots);
    void handleShot(const Message& message);
    void connectTo(const Message& message);
    void dropLink(Link& link);
    bool knowsGuid(uint64_t guid) const;
    bool keepsNewLink(const Link& newLink, const Link& oldLink) const;
    Link& linkOf(const ENetPeer* peer);
    ENetPeer* peerOf(const Link& link);
    Message messageFrom(const Link& link, uint8_t id) const;

    PeerSettings config;
    uint64_t myGuid = 0;
    bool enetStarted = false;
    TokenBucket logBytes{kLogBytesPerSecond, kLogBytesPerSecond};
    int32_t refusedTotal = 0;
    int32_t droppedTotal = 0;
    int32_t toldRefused = 0;  // what the listener was last told
    int32_t toldDropped = 0;
    uint32_t lastCheckMs = 0;
    uint64_t listedSignature = 0;  // the links printConnections last listed in full
    std::vector<Link> links;  // one per slot of host->peers
    uint32_t lastAdvertisedMs = 0;
    // Advertisements already reported; a repeat of one from a copy already linked is not news.
    struct Advertiser {
        uint64_t guid;
        ENetAddress address;
    };
    std::vector<Advertiser> heard;
};

// "a.b.c.d|port"
void addressText(const ENetAddress& address, char (&text)[32]);
// The GUID in decimal.
void guidText(uint64_t guid, char (&text)[24]);

}  // namespace QEL
