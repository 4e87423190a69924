// SHA-1 against NIST's byte-oriented response files (SHA1ShortMsg.rsp,
// SHA1LongMsg.rsp and, when present, SHA1Monte.rsp). The files are not part
// of the repository: tests/e2e/sha1_vectors_e2e.sh fetches them from a
// Debian package and names their folder in QUORVEL_SHA1_VECTORS. Without
// that variable (or without the files) these cases are skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "device/Sha1.h"

namespace quorvel {
namespace {

std::string VectorFolder() {
    const char* dir = std::getenv("QUORVEL_SHA1_VECTORS");
    return dir ? std::string(dir) : std::string();
}

bool Unhex(const std::string& hex, std::vector<std::uint8_t>& out) {
    if (hex.size() % 2 != 0) return false;
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int v = 0;
        for (std::size_t j = i; j < i + 2; ++j) {
            const char c = hex[j];
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else return false;
            v = v * 16 + d;
        }
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return true;
}

std::string Trim(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return std::string();
    const std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// "Key = value" lines of a response file, in order; comments and section
// headers are dropped.
struct Field {
    std::string key, value;
    int line;
};

bool ReadFields(const std::string& path, std::vector<Field>& fields) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == '[') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        fields.push_back({Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), number});
    }
    return true;
}

// Checks every Len/Msg/MD triple of a message file; returns how many.
int CheckMessageFile(const std::string& name) {
    const std::string folder = VectorFolder();
    std::vector<Field> fields;
    if (folder.empty() || !ReadFields(folder + "/" + name, fields)) return -1;
    int checked = 0;
    for (std::size_t i = 0; i + 2 < fields.size(); ++i) {
        if (fields[i].key != "Len") continue;
        const Field& len = fields[i];
        const Field& msg = fields[i + 1];
        const Field& md = fields[i + 2];
        if (msg.key != "Msg" || md.key != "MD") {
            ADD_FAILURE() << name << " line " << len.line << ": Len not followed by Msg and MD";
            continue;
        }
        const long bits = std::strtol(len.value.c_str(), nullptr, 10);
        std::vector<std::uint8_t> message;
        std::vector<std::uint8_t> expected;
        if (bits < 0 || bits % 8 != 0 || !Unhex(msg.value, message) || !Unhex(md.value, expected) ||
            expected.size() != kSha1DigestSize) {
            ADD_FAILURE() << name << " line " << len.line << ": unreadable case";
            continue;
        }
        // Len = 0 comes with the placeholder Msg = 00.
        message.resize(static_cast<std::size_t>(bits / 8));
        const Sha1Bytes got = Sha1Digest(message.data(), message.size());
        EXPECT_EQ(0, std::memcmp(got.data(), expected.data(), kSha1DigestSize))
            << name << " line " << len.line << ": " << bits << " bits, got " << Sha1Hex(got) << ", expected "
            << md.value;
        ++checked;
    }
    return checked;
}

TEST(Sha1NistVectors, ShortMessages) {
    const int checked = CheckMessageFile("SHA1ShortMsg.rsp");
    if (checked < 0) GTEST_SKIP() << "QUORVEL_SHA1_VECTORS does not name a folder with SHA1ShortMsg.rsp";
    // 0 to 512 bits in steps of 8.
    EXPECT_EQ(checked, 65);
}

TEST(Sha1NistVectors, LongMessages) {
    const int checked = CheckMessageFile("SHA1LongMsg.rsp");
    if (checked < 0) GTEST_SKIP() << "QUORVEL_SHA1_VECTORS does not name a folder with SHA1LongMsg.rsp";
    EXPECT_EQ(checked, 64);
}

// The Monte Carlo chain: from a seed, 100 checkpoints, each the last of
// 1000 digests where every message is the previous three digests joined.
TEST(Sha1NistVectors, MonteCarloChain) {
    const std::string folder = VectorFolder();
    std::vector<Field> fields;
    if (folder.empty() || !ReadFields(folder + "/SHA1Monte.rsp", fields))
        GTEST_SKIP() << "no SHA1Monte.rsp in QUORVEL_SHA1_VECTORS";
    std::vector<std::uint8_t> seed;
    std::vector<std::vector<std::uint8_t>> checkpoints;
    for (const Field& f : fields) {
        std::vector<std::uint8_t> bytes;
        if (f.key == "Seed") {
            ASSERT_TRUE(Unhex(f.value, seed));
        } else if (f.key == "MD") {
            ASSERT_TRUE(Unhex(f.value, bytes));
            checkpoints.push_back(bytes);
        }
    }
    ASSERT_EQ(seed.size(), kSha1DigestSize);
    ASSERT_EQ(checkpoints.size(), 100u);

    Sha1Bytes md[3];
    for (std::size_t j = 0; j < checkpoints.size(); ++j) {
        for (auto& m : md) std::memcpy(m.data(), seed.data(), kSha1DigestSize);
        Sha1Bytes next{};
        for (int i = 3; i < 1003; ++i) {
            Sha1 sha;
            for (const auto& m : md) sha.Update(m.data(), m.size());
            next = sha.Final();
            md[0] = md[1];
            md[1] = md[2];
            md[2] = next;
        }
        ASSERT_EQ(0, std::memcmp(next.data(), checkpoints[j].data(), kSha1DigestSize)) << "checkpoint " << j;
        std::memcpy(seed.data(), next.data(), kSha1DigestSize);
    }
}

}  // namespace
}  // namespace quorvel
