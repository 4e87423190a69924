#include "app/MailAddressFile.h"

namespace quorvel {

const char kMailAddressFileName[] = "email.dat";

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string ParseMailAddressFile(const char* data, std::size_t size) {
    if (data == nullptr) return {};
    std::size_t i = 0;
    while (i < size && IsSpace(data[i])) ++i;
    const std::size_t start = i;
    // A zero byte ends the word: the address has always been handled as a
    // zero-terminated text, so nothing behind a zero was ever part of it.
    while (i < size && i - start < kMaxMailAddressLength && data[i] != '\0' && !IsSpace(data[i])) ++i;
    return std::string(data + start, i - start);
}

std::string ParseMailAddressFile(const std::string& content) {
    return ParseMailAddressFile(content.data(), content.size());
}

}  // namespace quorvel
