// The prepared picture's name and path, shared by the transfer and the mails.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

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

TEST(PreparedPicture, WideNamesKeepTheirOwnCharacters) {
    EXPECT_EQ(PreparedPicturePath(std::wstring(L"C:\\QPM\\Sent Pictures"), std::wstring(L"D:\\\u5199\u771f.day.png")),
              L"C:\\QPM\\Sent Pictures\\\u5199\u771f.jpg");
    EXPECT_EQ(PreparedPictureFileName(std::wstring(L"\u0424\u043e\u0442\u043e.png")), L"\u0424\u043e\u0442\u043e.jpg");
    EXPECT_EQ(PreparedPictureBaseName(std::wstring(L"C:\\.hidden.png")), L"");
}

TEST(PreparationTurn, ASecondSenderWaitsWhileTheTurnIsHeld) {
    std::atomic<bool> secondIn{false};
    auto first = std::make_unique<PreparationTurn>();
    std::thread second([&] {
        PreparationTurn turn;
        secondIn = true;
    });
    // The second sender is either queued at the turn or (wrongly) inside.
    while (PreparationTurn::Waiting() != 1 && !secondIn) std::this_thread::yield();
    EXPECT_FALSE(secondIn) << "the second sender got in while the first held the turn";
    first.reset();
    second.join();
    EXPECT_TRUE(secondIn);
    EXPECT_EQ(PreparationTurn::Waiting(), 0);
}

}  // namespace
}  // namespace quorvel
