// SHA-1 (FIPS 180-1) of our own, and a wipe helper for secrets.
//
// The handheld asks for its security password as a 20-byte SHA-1 digest of
// the typed text; the password itself never leaves the program. The digest
// code is ours so the program needs nothing beyond the standard library, and
// it streams so callers never have to gather a message in one buffer.
// SecureWipe exists because a plain memset of a buffer that is about to die
// may be removed by the optimiser; the password text and its copies must not
// linger in memory after the digest has been handed over.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel {

constexpr std::size_t kSha1DigestSize = 20;
using Sha1Bytes = std::array<std::uint8_t, kSha1DigestSize>;

// Streaming digest: Update any number of times, then Final once. Final
// leaves the object reset, ready for a new message. The internal state is
// wiped on reset and destruction because it holds password-derived data.
class Sha1 {
public:
    Sha1();
    ~Sha1();
    Sha1(const Sha1&) = delete;
    Sha1& operator=(const Sha1&) = delete;

    void Reset();
    void Update(const void* data, std::size_t length);
    void Update(const std::string& text) { Update(text.data(), text.size()); }
    Sha1Bytes Final();

private:
    void ProcessBlock(const std::uint8_t* block);

    std::uint32_t m_state[5];
    std::uint64_t m_totalBytes;   // message length so far, in bytes
    std::uint8_t m_buffer[64];    // the unfinished 512-bit block
    std::size_t m_buffered;       // bytes held in m_buffer (0..63)
};

// One-shot digest of length bytes into a 20-byte output, most significant
// byte of the first word first. A null data pointer is allowed when length
// is 0. out must point to 20 writable bytes.
void Sha1Digest(const void* data, std::size_t length, std::uint8_t* out);

// One-shot digest returned by value.
Sha1Bytes Sha1Digest(const void* data, std::size_t length);
Sha1Bytes Sha1Digest(const std::string& text);

// Lower-case hexadecimal text of a digest (40 characters); for logs and tests.
std::string Sha1Hex(const Sha1Bytes& digest);

// Overwrites length bytes with zeros through a volatile pointer so the
// stores cannot be dropped as dead. Null with length 0 is allowed.
void SecureWipe(void* data, std::size_t length);

// Wipes the whole buffer of a string, including the unused capacity that
// may hold earlier, longer contents, and leaves the string empty.
void SecureWipe(std::string& text);

}  // namespace quorvel
