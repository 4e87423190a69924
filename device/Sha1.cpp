// SHA-1 after FIPS 180-1: 512-bit blocks, 80 rounds, big-endian words, the
// message padded with 0x80, zeros and its 64-bit length in bits.
#include "device/Sha1.h"

#include <cstring>

namespace quorvel {
namespace {

inline std::uint32_t Rotl(std::uint32_t v, int n) {
    return (v << n) | (v >> (32 - n));
}

}  // namespace

Sha1::Sha1() { Reset(); }

Sha1::~Sha1() {
    SecureWipe(m_state, sizeof(m_state));
    SecureWipe(m_buffer, sizeof(m_buffer));
}

void Sha1::Reset() {
    SecureWipe(m_buffer, sizeof(m_buffer));
    m_state[0] = 0x67452301u;
    m_state[1] = 0xEFCDAB89u;
    m_state[2] = 0x98BADCFEu;
    m_state[3] = 0x10325476u;
    m_state[4] = 0xC3D2E1F0u;
    m_totalBytes = 0;
    m_buffered = 0;
}

void Sha1::ProcessBlock(const std::uint8_t* block) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = (std::uint32_t(block[4 * i]) << 24) | (std::uint32_t(block[4 * i + 1]) << 16) |
               (std::uint32_t(block[4 * i + 2]) << 8) | std::uint32_t(block[4 * i + 3]);
    }
    for (int i = 16; i < 80; ++i) {
        w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    }

    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3], e = m_state[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const std::uint32_t t = Rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = Rotl(b, 30);
        b = a;
        a = t;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    m_state[4] += e;
    SecureWipe(w, sizeof(w));
}

void Sha1::Update(const void* data, std::size_t length) {
    if (length == 0) return;
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_totalBytes += length;

    if (m_buffered > 0) {
        const std::size_t take = (64 - m_buffered < length) ? 64 - m_buffered : length;
        std::memcpy(m_buffer + m_buffered, p, take);
        m_buffered += take;
        p += take;
        length -= take;
        if (m_buffered < 64) return;
        ProcessBlock(m_buffer);
        m_buffered = 0;
    }
    while (length >= 64) {
        ProcessBlock(p);
        p += 64;
        length -= 64;
    }
    if (length > 0) {
        std::memcpy(m_buffer, p, length);
        m_buffered = length;
    }
}

Sha1Bytes Sha1::Final() {
    const std::uint64_t bitLength = m_totalBytes * 8u;

    // 0x80, then zeros up to 56 bytes into a block, then the length: a
    // message that leaves 56..63 bytes in the last block needs one more block.
    m_buffer[m_buffered++] = 0x80;
    if (m_buffered > 56) {
        std::memset(m_buffer + m_buffered, 0, 64 - m_buffered);
        ProcessBlock(m_buffer);
        m_buffered = 0;
    }
    std::memset(m_buffer + m_buffered, 0, 56 - m_buffered);
    for (int i = 0; i < 8; ++i) {
        m_buffer[56 + i] = static_cast<std::uint8_t>(bitLength >> (56 - 8 * i));
    }
    ProcessBlock(m_buffer);

    Sha1Bytes digest{};
    for (int i = 0; i < 5; ++i) {
        digest[4 * i] = static_cast<std::uint8_t>(m_state[i] >> 24);
        digest[4 * i + 1] = static_cast<std::uint8_t>(m_state[i] >> 16);
        digest[4 * i + 2] = static_cast<std::uint8_t>(m_state[i] >> 8);
        digest[4 * i + 3] = static_cast<std::uint8_t>(m_state[i]);
    }
    Reset();
    return digest;
}

void Sha1Digest(const void* data, std::size_t length, std::uint8_t* out) {
    Sha1Bytes digest = Sha1Digest(data, length);
    std::memcpy(out, digest.data(), digest.size());
    SecureWipe(digest.data(), digest.size());
}

Sha1Bytes Sha1Digest(const void* data, std::size_t length) {
    Sha1 sha;
    sha.Update(data, length);
    return sha.Final();
}

Sha1Bytes Sha1Digest(const std::string& text) { return Sha1Digest(text.data(), text.size()); }

std::string Sha1Hex(const Sha1Bytes& digest) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * digest.size());
    for (std::uint8_t b : digest) {
        hex.push_back(kHex[b >> 4]);
        hex.push_back(kHex[b & 0x0F]);
    }
    return hex;
}

void SecureWipe(void* data, std::size_t length) {
    volatile std::uint8_t* p = static_cast<volatile std::uint8_t*>(data);
    for (std::size_t i = 0; i < length; ++i) p[i] = 0;
}

void SecureWipe(std::string& text) {
    // Growing to the capacity reuses the same buffer, so the bytes beyond
    // the current size (left by earlier, longer contents) get wiped too.
    text.resize(text.capacity());
    if (!text.empty()) SecureWipe(&text[0], text.size());
    text.clear();
}

}  // namespace quorvel
