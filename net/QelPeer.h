// QelPeer: this copy's link to the other copies on the local network. It owns one ENet host on
// UDP port 54776, announces itself with a broadcast advertisement at start and every 5 seconds
// after (so that a copy whose link dropped, or that missed the first one, finds the others again),
// connects to every other copy it hears advertising, sends shots to all connected copies and reports every
// network event as a plain printf line; received shots and peer counts go to a listener. Built and
// destroyed by the application while networking is on; used only on the main thread. ENet has no
// threads of its own: all sending and receiving happens inside pollMessages (each frame), shoot
// and the destructor.
//
// Every start draws a random 64-bit GUID. It travels in the advertisement and, once ENet has
// connected two hosts, in a hello message each side sends first; a connection counts (and is
// reported) only when the other side's GUID is known.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <enet/enet.h>

namespace QEL {

// What the peer tells its owner, on the main thread inside pollMessages.
class QelPeerListener {
public:
    virtual ~QelPeerListener() = default;
    // A shot number arrived from another copy (0 when its message could not be read).
    virtual void shotReceived(int32_t shotNumber) = 0;
    // The number of connected copies changed to `count`.
    virtual void peerCountChanged(int32_t count) = 0;
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
};

constexpr int32_t kPeerPort = 54776;
constexpr size_t kMaxPeerConnections = 100;

class QelPeer {
public:
    // Stores `listener` (may be null: shots and peer counts then go nowhere); networking starts
    // with startPeer.
    explicit QelPeer(QelPeerListener* listener);
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
    // Handles everything that arrived since the last call, and advertises again when it is
    // time; with `ignoreShots` received shots are dropped with a line.
    void pollMessages(bool ignoreShots);
    void printConnections();
    void peerConnected();
    void peerDisconnected();

    uint64_t getMyGUID() const { return myGuid; }
    int32_t numberOfConnections() const;

    ENetHost* host = nullptr;     // owned; null before startPeer or when the port is taken
    ENetEvent packet{};           // the event being handled by pollMessages
    ENetAddress socketAddress{};  // every local address, port 54776
    int32_t port = kPeerPort;
    QelPeerListener* listener;    // not owned

private:
    // What this peer knows of one of the host's ENet peer slots.
    enum class LinkState { unused, connecting, awaitingHello, linked, dropping };
    struct Link {
        LinkState state = LinkState::unused;
        bool outgoing = false;  // this side asked for the connection
        uint64_t guid = 0;      // advertised, then the one its hello gave
        ENetAddress address{};  // kept here: ENet clears its peer before reporting a disconnect
    };
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
    void handleMessage(const Message& message, bool ignoreShots);
    void handleShot(const Message& message);
    void connectTo(const Message& message);
    void dropLink(Link& link);
    bool knowsGuid(uint64_t guid) const;
    bool keepsNewLink(const Link& newLink, const Link& oldLink) const;
    Link& linkOf(const ENetPeer* peer);
    ENetPeer* peerOf(const Link& link);
    Message messageFrom(const Link& link, uint8_t id) const;

    uint64_t myGuid = 0;
    bool enetStarted = false;
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
