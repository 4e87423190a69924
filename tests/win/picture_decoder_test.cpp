// The main window's decoding thread: the newest request wins, one open
// decodes its picture once, and a stop does not wait for the decode in
// progress.
#include "tests/win/SimHarness.h"
#include "ui/PictureDecoder.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT kDecoded = WM_APP + 7;

// A w x h grey picture in the test's folder.
std::wstring WriteBmp(const std::string& name, int w, int h) {
    const std::string path = simharness::MakeScratchFolder("qdecode", "pictures") + "\\" + name;
    simharness::WriteBmp(path, w, h);
    return std::wstring(path.begin(), path.end());  // the scratch folder's name is plain ASCII
}

// The request numbers whose message came, in order.
std::vector<unsigned> PumpDecoded(HWND window, const std::function<bool(const std::vector<unsigned>&)>& done) {
    std::vector<unsigned> seen;
    const DWORD start = ::GetTickCount();
    while (!done(seen) && ::GetTickCount() - start < 30000) {
        MSG msg;
        while (::PeekMessageA(&msg, window, kDecoded, kDecoded, PM_REMOVE)) seen.push_back(static_cast<unsigned>(msg.wParam));
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return seen;
}

class PictureDecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token_); }
    void SetUp() override {
        window_ = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override { ::DestroyWindow(window_); }
    static ULONG_PTR token_;
    HWND window_ = nullptr;
};
ULONG_PTR PictureDecoderTest::token_ = 0;

TEST_F(PictureDecoderTest, TheLastChoiceWinsAndEachOpenDecodesOnce) {
    const std::wstring big = WriteBmp("big.bmp", 4000, 3000), small = WriteBmp("small.bmp", 30, 20);
    CPictureDecoder decoder;
    const int before = PictureDecodeCount();
    const unsigned first = decoder.Request(big, window_, kDecoded);
    // The newer choice comes while the first picture is being decoded.
    const DWORD start = ::GetTickCount();
    while (PictureDecodeCount() == before && ::GetTickCount() - start < 10000) ::Sleep(1);
    const unsigned last = decoder.Request(small, window_, kDecoded);
    EXPECT_NE(first, last);
    EXPECT_TRUE(decoder.Busy());
    const std::vector<unsigned> seen =
        PumpDecoded(window_, [&](const std::vector<unsigned>& s) { return !s.empty() && s.back() == last; });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen, std::vector<unsigned>({last})) << "only the newest request is answered";
    DecodedPictureRef picture;
    EXPECT_FALSE(decoder.Take(first, &picture));
    ASSERT_TRUE(decoder.Take(last, &picture));
    EXPECT_FALSE(decoder.Busy());
    EXPECT_EQ(DecodedPictureSize(picture).width, 30);
    EXPECT_FALSE(decoder.Take(last, &picture)) << "a result is taken once";
    // Each picture decoded once: the overtaken one, and the last one.
    const int decodes = PictureDecodeCount() - before;
    EXPECT_EQ(decodes, 2);
    // The same file again: its pixels are kept, nothing is decoded.
    const unsigned again = decoder.Request(small, window_, kDecoded);
    PumpDecoded(window_, [&](const std::vector<unsigned>& s) { return !s.empty() && s.back() == again; });
    ASSERT_TRUE(decoder.Take(again, &picture));
    EXPECT_EQ(PictureDecodeCount() - before, decodes);
}

TEST_F(PictureDecoderTest, StopLeavesTheDecodeInProgressToEndByItself) {
    const std::wstring big = WriteBmp("stop.bmp", 6000, 4000);
    {
        CPictureDecoder decoder;
        decoder.Request(big, window_, kDecoded);
        ASSERT_EQ(CPictureDecoder::RunningThreads(), 1);
        decoder.Stop();
        EXPECT_EQ(decoder.Request(big, window_, kDecoded), 0u) << "nothing is asked for after the stop";
    }  // the decoder goes while its thread may still decode
    const DWORD start = ::GetTickCount();
    while (CPictureDecoder::RunningThreads() > 0 && ::GetTickCount() - start < 30000) ::Sleep(10);
    EXPECT_EQ(CPictureDecoder::RunningThreads(), 0);
    MSG msg;
    EXPECT_FALSE(::PeekMessageA(&msg, window_, kDecoded, kDecoded, PM_REMOVE)) << "a stopped decoder posts nothing";
}

}  // namespace
