// The extensions the Open dialog lists and a dropped file is judged by.
#include <gtest/gtest.h>

#include "imaging/PictureExtensions.h"

namespace imaging {
namespace {

TEST(PictureExtensions, OwnSevenFirstThenEachDecoderExtensionOnce) {
    const std::vector<std::wstring> lists{L".bmp,.dib,.rle", L".JPG,.jpeg,.jfif", L".ico,.icon", L".heic,.HEIF",
                                          L"", L",.*,.a b,.x;y,.,dds,.j?g,.ok.no", L".dds"};
    const std::vector<std::wstring> all = PictureExtensions(lists);
    EXPECT_EQ(FilterPatterns(all), L"*.bmp; *.jpg; *.jpeg; *.png; *.gif; *.tiff; *.tif; *.dib; *.rle; *.jfif; "
                                   L"*.ico; *.icon; *.heic; *.heif; *.dds");
    EXPECT_EQ(FilterPatterns(PictureExtensions({})), L"*.bmp; *.jpg; *.jpeg; *.png; *.gif; *.tiff; *.tif");

    struct Case {
        const wchar_t* path;
        bool accepted;
    };
    const Case cases[] = {
        {L"C:\\p\\a.HEIC", true}, {L"C:\\p\\a.b.dds", true}, {L"a.tif", true}, {L"C:\\p.ico\\a", false},
        {L"C:\\p\\a.webp", false}, {L"C:\\p\\ico", false},    {L"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(HasPictureExtension(c.path, all), c.accepted) << c.path;
}

TEST(PictureExtensions, ADropOpensItsFirstPictureElseItsFirstFile) {
    const std::vector<std::wstring> all = PictureExtensions({L".ico", L".dds"});
    struct Case {
        std::vector<std::wstring> files;
        std::size_t chosen;
    };
    const Case cases[] = {
        {{L"C:\\notes.txt", L"C:\\card.png", L"C:\\b.ico"}, 1},
        {{L"C:\\a.DDS", L"C:\\card.png"}, 0},
        {{L"C:\\notes.txt", L"C:\\readme"}, 0},  // none listed: the first, as a typed name
        {{}, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(DroppedPictureChoice(c.files, all), c.chosen) << c.files.size();
}

}  // namespace
}  // namespace imaging
