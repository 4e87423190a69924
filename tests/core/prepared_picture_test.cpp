// The prepared picture's name and path, shared by the transfer and the mails.
#include <gtest/gtest.h>

#include <string>

#include "imaging/PreparedPicture.h"

namespace quorvel {
namespace {

TEST(PreparedPicture, NameIsTheFileNameCutBeforeItsFirstDot) {
    struct Case {
        std::string path, base;
    };
    const Case cases[] = {
        {"C:\\Pictures\\beach.day.png", "beach"},
        {"C:\\Pictures\\IMG_1.JPG", "IMG_1"},
        {"C:\\my.photos\\sunset", "sunset"},  // dots in folders do not count
        {"beach.png", "beach"},               // no folder at all
        {"C:\\Pictures\\.hidden.png", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PreparedPictureBaseName(c.path), c.base) << c.path;

    EXPECT_EQ(PreparedPictureFileName("C:\\Pictures\\beach.day.png"), "beach.jpg");
    EXPECT_EQ(PreparedPicturePath("C:\\QPM\\Sent Pictures", "C:\\Pictures\\beach.day.png"),
              "C:\\QPM\\Sent Pictures\\beach.jpg");
}

}  // namespace
}  // namespace quorvel
