// Room keys: a passphrase file turned into a 32-byte key for one room, and the proofs two copies
// trade over a new link so that it forms only between holders of the same passphrase. Every
// piece of cryptography is libsodium's: crypto_pwhash (Argon2id) stretches the passphrase,
// crypto_generichash makes the salt from the room's name, crypto_auth (HMAC-SHA-512-256) makes
// and checks the proofs, randombytes_buf draws the nonces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace QEL {

constexpr size_t kRoomKeySize = 32;
constexpr size_t kLinkNonceSize = 16;
constexpr size_t kRoomProofSize = 32;
using RoomKey = std::array<uint8_t, kRoomKeySize>;
using LinkNonce = std::array<uint8_t, kLinkNonceSize>;
using RoomProof = std::array<uint8_t, kRoomProofSize>;

// Reads the passphrase from the file at `path` (its first line; the line end is not part of it)
// and derives the key of `room`. False with `error` set when the file cannot be read, holds no
// passphrase, or the key cannot be made.
bool readRoomKey(const std::string& path, const std::string& room, RoomKey& key, std::string& error);

// A fresh random nonce for one link.
LinkNonce newLinkNonce();

// What one side of a link proves: that it holds `key`, bound to both copies' GUIDs and both
// sides' nonces of this very link, so that a proof overheard on one link is worth nothing on
// another. The sender's values come first.
struct ProofSubject {
    uint64_t senderGuid;
    uint64_t receiverGuid;
    LinkNonce senderNonce;
    LinkNonce receiverNonce;
};
RoomProof makeRoomProof(const RoomKey& key, const std::string& room, const ProofSubject& subject);
bool checkRoomProof(const RoomKey& key, const std::string& room, const ProofSubject& subject, const RoomProof& proof);

}  // namespace QEL
