// Golden files: each tests/core/html_golden/NAME.html is measured with the
// tooltips' wrap width (300 pixels) on the fake canvas, drawn into its
// measured size, and its size, draw calls and hot areas must equal
// NAME.draws. Run with QUORVEL_UPDATE_GOLDEN=1 to write the .draws files
// after a deliberate change, and read the difference before committing it.
#include <gtest/gtest.h>

#include "html/HtmlRendererCore.h"
#include "tooltip/LabelText.h"
#include "tests/core/HtmlFakeCanvas.h"
#include "ui/AboutText.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace html {
namespace {

namespace fs = std::filesystem;

fs::path GoldenDir() {
    std::string here = __FILE__;
#ifdef _WIN32
    if (!here.empty() && here[0] == '/') here = "Z:" + here;   // the Linux tree seen from Wine
#endif
    return fs::path(here).parent_path() / "html_golden";
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string RenderGolden(const std::string& markup) {
    FakePlatform platform;
    CHtmlRendererCore r(platform);
    r.SetMaxWidth(300);
    FakeCanvas canvas;
    HtmlSize size = r.Measure(canvas, markup);
    r.DrawPrepared(canvas, HtmlRect{0, 0, size.width, size.height});
    std::string out = "size " + std::to_string(size.width) + " x " + std::to_string(size.height) + "\n";
    out += canvas.Joined();
    for (const auto& a : r.HotAreas())
        out += "hot " + std::to_string(a.rect.left) + "," + std::to_string(a.rect.top) + " " +
               std::to_string(a.rect.right) + "," + std::to_string(a.rect.bottom) + " kind " +
               std::to_string(a.linkKind) + " link " + std::to_string(a.linkIndex) + " \"" + a.target + "\"\n";
    return out;
}

TEST(HtmlGolden, MarkupGivesTheRecordedDrawCalls) {
    const fs::path dir = GoldenDir();
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    const bool update = std::getenv("QUORVEL_UPDATE_GOLDEN") != nullptr;
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".html") continue;
        fs::path expected = entry.path();
        expected.replace_extension(".draws");
        const std::string got = RenderGolden(ReadFile(entry.path()));
        if (update) std::ofstream(expected, std::ios::binary) << got;
        EXPECT_EQ(got, ReadFile(expected)) << entry.path().filename();
        ++checked;
    }
    EXPECT_GE(checked, 12);
    // The About box's golden file is the text the box shows, as its label
    // cleans it.
    EXPECT_EQ(ReadFile(dir / "about_box.html"), tooltip::CleanLabelText(kAboutText));
}

}  // namespace
}  // namespace html
