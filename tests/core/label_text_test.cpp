// Tests of the HTML label's text cleaning and its WM_GETTEXT copy.
#include <gtest/gtest.h>

#include "tooltip/LabelText.h"

using namespace tooltip;

namespace {

TEST(LabelTextTest, CleaningTable) {
    struct Case { const char* name; const char* in; const char* out; } cases[] = {
        {"paragraph becomes alignment and breaks",
         "<html><BODY bgcolor=white>\r\n<P ALIGN=\"center\">Hello</P></body></html>", "<center>Hello</center><br><br>"},
        {"pre is taken for a paragraph", "<body><pre>x</pre></body>", "x</pre>"},
        {"tag names lowercased, text kept", "<B>X</B>", "<b>X</b>"},
        {"no body: only tags lowercased, line ends kept", "A<BR>\r\nB", "A<br>\r\nB"},
        {"plain paragraph", "<body><p>a</p>b</body>", "a<br><br>b"},
        {"unclosed paragraph tag", "<body>a <p</body>", "a &ltp"},
        {"spaces, strong and amp", "<body> &nbsp;<STRONG>a&amp;b</STRONG>&nbspc </body>", "<b>a&b</b> c"},
        {"paragraphs pair last in first out", "<body><p align=left>a</p><p align=right>b</p></body>",
         "<left>a</right><br><br><right>b</left><br><br>"},
        {"end tags beyond the paragraphs stay", "<body>a</p></body>", "a</p>"},
        {"body without an end", "<body>abc", "abc"},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanLabelText(c.in), c.out) << c.name;
}

TEST(LabelTextTest, GetTextCopiesWhatFits) {
    char buf[8] = "zzzzzzz";
    EXPECT_EQ(CopyLabelText("Hello", buf, 5), 4u);
    EXPECT_STREQ(buf, "Hell");
    EXPECT_EQ(CopyLabelText("Hello", buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "Hello");
    EXPECT_EQ(CopyLabelText("Hello", buf, 0), 0u);
    EXPECT_STREQ(buf, "Hello");
    EXPECT_EQ(CopyLabelText("Hello", buf, 1), 0u);
    EXPECT_STREQ(buf, "");
}

} // namespace
