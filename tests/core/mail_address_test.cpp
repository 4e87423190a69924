// Reading the remembered mail address back from the bytes of "email.dat".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MailAddressFile.h"

namespace quorvel {
namespace {

TEST(MailAddressFile, FirstWord) {
    struct Case {
        std::string content;
        std::string address;
    };
    const Case cases[] = {
        {"", ""},
        {"me@hand.held", "me@hand.held"},
        {"   me@hand.held", "me@hand.held"},                 // typed with leading blanks
        {" \t\r\n\v\fme@hand.held", "me@hand.held"},         // every white-space kind
        {"me@hand.held\r\nother@x.y", "me@hand.held"},       // edited by hand to two lines
        {"first second", "first"},                           // a blank ends the address
        {"a\tb", "a"},
        {"a\vb", "a"},
        {"a\fb", "a"},
        {" \r\n ", ""},
        {std::string("me@x\0junk", 9), "me@x"},              // a zero byte ends it
        {std::string("\0me@x", 5), ""},
        {"\xE4\xF6@umlaut.example", "\xE4\xF6@umlaut.example"},  // ANSI bytes pass through
    };
    for (const Case& c : cases) EXPECT_EQ(ParseMailAddressFile(c.content), c.address) << c.content;
}

TEST(MailAddressFile, AtMost499CharactersAreKept) {
    const std::string exact(499, 'a');
    EXPECT_EQ(ParseMailAddressFile(exact), exact);
    EXPECT_EQ(ParseMailAddressFile("  " + std::string(600, 'b') + " tail"), std::string(499, 'b'));
}

TEST(MailAddressFile, NeverReadsPastTheGivenSize) {
    // Exactly-sized heap buffer without a terminator (AddressSanitizer watches).
    const std::string text = "   me@hand.held";
    std::vector<char> exact(text.begin(), text.end());
    EXPECT_EQ(ParseMailAddressFile(exact.data(), exact.size()), "me@hand.held");
    EXPECT_EQ(ParseMailAddressFile(exact.data(), 5), "me");
    EXPECT_EQ(ParseMailAddressFile(nullptr, 10), "");
    EXPECT_STREQ(kMailAddressFileName, "email.dat");
}

}  // namespace
}  // namespace quorvel
