#include "net/roomKey.h"

#include <sodium.h>

#include <fstream>
#include <vector>

namespace QEL {

namespace {

bool sodiumReady() { return sodium_init() >= 0; }

// The bytes a proof covers: a label, the room, both GUIDs and both nonces, sender first.
std::vector<uint8_t> proofMessage(const std::string& room, const ProofSubject& subject) {
    static constexpr char kLabel[] = "kablix link proof";
    std::vector<uint8_t> message(kLabel, kLabel + sizeof kLabel);
    message.push_back(uint8_t(room.size()));
    message.insert(message.end(), room.begin(), room.end());
    for (uint64_t guid : {subject.senderGuid, subject.receiverGuid}) {
        for (int shift = 56; shift >= 0; shift -= 8) message.push_back(uint8_t(guid >> shift));
    }
    message.insert(message.end(), subject.senderNonce.begin(), subject.senderNonce.end());
    message.insert(message.end(), subject.receiverNonce.begin(), subject.receiverNonce.end());
    return message;
}

}  // namespace

bool readRoomKey(const std::string& path, const std::string& room, RoomKey& key, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    std::string passphrase;
    if (!file || !std::getline(file, passphrase)) {
        error = "cannot read the room key file " + path;
        return false;
    }
    if (!passphrase.empty() && passphrase.back() == '\r') passphrase.pop_back();
    if (passphrase.empty()) {
        error = "the room key file " + path + " holds no passphrase on its first line";
        return false;
    }
    if (!sodiumReady()) {
        error = "the cryptography library could not start";
        return false;
    }
    // The salt ties the key to the room: one passphrase used in two rooms gives two keys.
    const std::string salted = "kablix room " + room;
    uint8_t salt[crypto_pwhash_SALTBYTES];
    crypto_generichash(salt, sizeof salt, reinterpret_cast<const uint8_t*>(salted.data()), salted.size(), nullptr, 0);
    const int result = crypto_pwhash(key.data(), key.size(), passphrase.data(), passphrase.size(), salt,
                                     crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                                     crypto_pwhash_ALG_ARGON2ID13);
    sodium_memzero(&passphrase[0], passphrase.size());
    if (result != 0) {
        error = "not enough memory to derive the room key";
        return false;
    }
    return true;
}

LinkNonce newLinkNonce() {
    LinkNonce nonce{};
    if (sodiumReady()) randombytes_buf(nonce.data(), nonce.size());
    return nonce;
}

RoomProof makeRoomProof(const RoomKey& key, const std::string& room, const ProofSubject& subject) {
    static_assert(kRoomKeySize == crypto_auth_KEYBYTES && kRoomProofSize == crypto_auth_BYTES, "libsodium sizes");
    const std::vector<uint8_t> message = proofMessage(room, subject);
    RoomProof proof{};
    crypto_auth(proof.data(), message.data(), message.size(), key.data());
    return proof;
}

bool checkRoomProof(const RoomKey& key, const std::string& room, const ProofSubject& subject, const RoomProof& proof) {
    const std::vector<uint8_t> message = proofMessage(room, subject);
    return crypto_auth_verify(proof.data(), message.data(), message.size(), key.data()) == 0;
}

}  // namespace QEL
