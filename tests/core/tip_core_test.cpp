// Tests of the tooltip's window-free decisions: placement near the screen's
// edges, the region's pointer, fade steps, shadow grey, the tool registry,
// the inspect rows and the show/hide state machine against a fake window.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "tooltip/TipCore.h"

using namespace tooltip;

namespace {

struct PlaceCase {
    const char* name;
    int placement;
    TipPoint cursor;
    int bodyW, bodyH, anchorW, anchorH, offset;
    TipRect screen;
    int wantPlacement;
    TipPoint wantAnchor;
    TipRect wantBody;
};

const TipRect kScreen{0, 0, 1000, 800};
const PlaceCase kPlaceCases[] = {
    {"fits above", 0x10, {500, 400}, 100, 50, 12, 16, 16, kScreen, 0x10, {16, 66}, {0, 0, 100, 50}},
    {"right edge flips to the far anchor", 0x10, {950, 400}, 100, 50, 12, 16, 16, kScreen, 0x11, {84, 66}, {0, 0, 100, 50}},
    {"both edges centre", 0x10, {75, 400}, 100, 50, 12, 16, 16, {0, 0, 150, 800}, 0x12, {50, 66}, {0, 0, 100, 50}},
    {"centred anchor moves off the right edge", 0x10, {100, 400}, 150, 50, 12, 16, 16, {0, 0, 160, 800}, 0x12, {90, 66}, {0, 0, 150, 50}},
    {"top edge flips below", 0x10, {500, 30}, 100, 50, 12, 16, 16, kScreen, 0x00, {16, 0}, {0, 16, 100, 66}},
    {"fits exactly above the bottom edge: stays below", 0x00, {500, 734}, 100, 50, 12, 16, 16, kScreen, 0x00, {16, 0}, {0, 16, 100, 66}},
    {"bottom edge flips above", 0x00, {500, 780}, 100, 50, 12, 16, 16, kScreen, 0x10, {16, 66}, {0, 0, 100, 50}},
    {"far anchor clamped at the right edge", 0x10, {995, 400}, 100, 50, 12, 16, 16, kScreen, 0x11, {95, 66}, {0, 0, 100, 50}},
    {"near anchor clamped at the left edge", 0x10, {5, 400}, 100, 50, 12, 16, 16, kScreen, 0x10, {5, 66}, {0, 0, 100, 50}},
    {"centred below near the left edge goes near", 0x02, {10, 400}, 100, 50, 12, 16, 16, kScreen, 0x00, {10, 0}, {0, 16, 100, 66}},
    {"centred below near the right edge goes far", 0x02, {990, 400}, 100, 50, 12, 16, 16, kScreen, 0x01, {90, 0}, {0, 16, 100, 66}},
    {"right side flips left", 0x20, {950, 400}, 100, 50, 12, 16, 16, kScreen, 0x30, {116, 16}, {0, 0, 100, 50}},
    {"left side flips right", 0x30, {50, 400}, 100, 50, 12, 16, 16, kScreen, 0x20, {0, 16}, {16, 0, 116, 50}},
    {"right side at the bottom goes far and clamps", 0x20, {500, 790}, 100, 50, 12, 16, 16, kScreen, 0x21, {0, 40}, {16, 0, 116, 50}},
    {"right side far anchor at the top goes near", 0x21, {500, 10}, 100, 50, 12, 16, 16, kScreen, 0x20, {0, 10}, {16, 0, 116, 50}},
    {"virtual screen left of the primary", 0x10, {-1270, 400}, 100, 50, 12, 16, 16, {-1280, 0, 1000, 800}, 0x10, {10, 66}, {0, 0, 100, 50}},
    {"rectangle shape has no pointer strip", 0x10, {500, 400}, 100, 50, 0, 0, 0, kScreen, 0x10, {0, 50}, {0, 0, 100, 50}},
    {"invalid position counts as near", 0x13, {500, 400}, 100, 50, 12, 16, 16, kScreen, 0x10, {16, 66}, {0, 0, 100, 50}},
};

TEST(TipPlacementTest, TableOfCases) {
    for (const PlaceCase& c : kPlaceCases) {
        TipPlacementInput in{c.placement, c.cursor, c.bodyW, c.bodyH, c.anchorW, c.anchorH, c.offset, c.screen};
        TipPlacement p = PlaceTip(in);
        EXPECT_EQ(p.placement, c.wantPlacement) << c.name;
        EXPECT_EQ(p.anchor, c.wantAnchor) << c.name;
        EXPECT_EQ(p.body, c.wantBody) << c.name;
        EXPECT_EQ(p.body.Width() + ((p.placement & 0x20) ? c.anchorH : 0), p.width) << c.name;
    }
}

TEST(TipRegionTest, PointerBaseFacesTheCursor) {
    struct Case { int placement; TipPoint anchor; TipRect body; TipPoint base1, base2; } cases[] = {
        {0x10, {16, 66}, {0, 0, 100, 50}, {16, 50}, {28, 50}},
        {0x11, {84, 66}, {0, 0, 100, 50}, {84, 50}, {72, 50}},
        {0x12, {50, 66}, {0, 0, 100, 50}, {44, 50}, {56, 50}},
        {0x00, {16, 0}, {0, 16, 100, 66}, {16, 16}, {28, 16}},
        {0x20, {0, 16}, {16, 0, 116, 50}, {16, 16}, {16, 28}},
        {0x31, {116, 34}, {0, 0, 100, 50}, {100, 34}, {100, 22}},
    };
    for (const Case& c : cases) {
        TipPlacement p;
        p.placement = c.placement; p.anchor = c.anchor; p.body = c.body;
        TipOutline o = TipRegionOutline(p, 12, 16, 16);
        ASSERT_TRUE(o.hasPointer);
        EXPECT_EQ(o.triangle[0], c.anchor) << c.placement;
        EXPECT_EQ(o.triangle[1], c.base1) << c.placement;
        EXPECT_EQ(o.triangle[2], c.base2) << c.placement;
    }
    TipPlacement p;
    p.body = TipRect{0, 0, 100, 50};
    EXPECT_FALSE(TipRegionOutline(p, 0, 0, 0).hasPointer);
    EXPECT_FALSE(TipRegionOutline(p, 12, 0, 16).hasPointer);
}

std::vector<int> FadeIn(int tool) {
    std::vector<int> steps;
    bool done = false;
    for (int t = 100; !done && steps.size() < 10;) steps.push_back(t = FadeInStep(t, tool, &done));
    return steps;
}

TEST(TipFadeTest, StepsAndShadowGrey) {
    EXPECT_EQ(FadeIn(0), (std::vector<int>{80, 60, 40, 20, 0}));
    EXPECT_EQ(FadeIn(30), (std::vector<int>{80, 60, 40, 30}));
    EXPECT_EQ(FadeIn(100), (std::vector<int>{100}));
    std::vector<int> out;
    bool done = false;
    for (int t = 0; !done;) out.push_back(t = FadeOutStep(t, &done));
    EXPECT_EQ(out, (std::vector<int>{20, 40, 60, 80, 100}));
    EXPECT_EQ(FadeOutStep(90, &done), 100);

    struct { int darkness, t, grey; } greys[] = {{50, 0, 128}, {50, 100, 255}, {0, 0, 255}, {100, 0, 0},
                                                 {100, 50, 127}, {150, 0, 0}};
    for (auto& g : greys) EXPECT_EQ(TipShadowGrey(g.darkness, g.t), g.grey) << g.darkness << " " << g.t;
}

TEST(TipRegistryTest, RecordsByWindowAndRect) {
    TipToolRegistry reg;
    TipToolInfo a; a.id = 1; a.text = "A";
    TipToolInfo b; b.id = 2; b.text = "B"; b.rect = {10, 10, 20, 20};
    TipToolInfo c; c.id = 3; c.text = "C"; c.rect = {30, 10, 40, 20};
    reg.Register(7, a);
    a.text = "A2";
    reg.Register(7, a);  // equal (empty) rectangle: replaced
    int conversions = 0;
    auto at = [&](TipPoint p) { return [&conversions, p] { ++conversions; return p; }; };
    ASSERT_NE(reg.Lookup(7, at({0, 0})), nullptr);
    EXPECT_EQ(reg.Lookup(7, at({0, 0}))->text, "A2");
    EXPECT_EQ(conversions, 0);  // the whole window answers without converting

    reg.Register(8, b);
    reg.Register(8, c);
    EXPECT_EQ(reg.Lookup(8, at({35, 15}))->id, 3);
    EXPECT_EQ(reg.Lookup(8, at({20, 15})), nullptr);  // right edge excluded
    EXPECT_EQ(reg.Lookup(9, at({0, 0})), nullptr);

    TipToolInfo found;
    EXPECT_TRUE(reg.FindByRect(8, c.rect, &found));
    EXPECT_EQ(found.text, "C");
    EXPECT_TRUE(reg.SetText(8, 2, "B2"));
    EXPECT_TRUE(reg.SetRect(8, 2, {0, 0, 5, 5}));
    EXPECT_TRUE(reg.FindById(8, 2, &found));
    EXPECT_EQ(found.text, "B2");
    EXPECT_EQ(found.rect, (TipRect{0, 0, 5, 5}));
    reg.Unregister(8, &c.rect);
    EXPECT_TRUE(reg.HasTool(8));
    EXPECT_TRUE(reg.UnregisterById(8, 2));
    EXPECT_FALSE(reg.HasTool(8));  // the last record takes the entry with it
    EXPECT_FALSE(reg.UnregisterById(8, 2));
    reg.Unregister(7, nullptr);
    EXPECT_FALSE(reg.HasTool(7));

    TipDefaults d; d.placement = 0x12; d.flags = 0x11; d.transparency = 10; d.fillEffect = 13; d.granularity = 5;
    TipToolInfo t; t.overrideMask = TipOverridePlacement; t.placement = 0x30;
    ApplyTipDefaults(d, &t);
    EXPECT_EQ(t.placement, 0x30);
    EXPECT_EQ(t.flags, 0x11u);
    EXPECT_EQ(t.fillEffect, 13);
    EXPECT_EQ(t.granularity, 5);
    EXPECT_EQ(t.transparency, 10);
}

TEST(TipInspectTest, RowsEscapeAndCut) {
    EXPECT_EQ(InspectRow("Title", "<b>"),
              "<tr><td width=70 bgcolor=buttonface>Title</td><td width=130 bgcolor=window>?b></td></tr>");
    EXPECT_NE(InspectRow("T", std::string(25, 'x')).find(std::string(25, 'x') + "<"), std::string::npos);
    EXPECT_NE(InspectRow("T", std::string(26, 'x')).find(std::string(21, 'x') + " ...<"), std::string::npos);
    InspectWindowInfo w;
    w.className = "Button"; w.handle = 0x1234; w.rect = {1, 2, 11, 22}; w.cursor = {5, 6};
    std::string s = BuildInspectText(w);
    EXPECT_NE(s.find(">0x00001234<"), std::string::npos);
    EXPECT_NE(s.find(">(1, 2)-(11, 22)<"), std::string::npos);
    EXPECT_NE(s.find("Height</td><td width=130 bgcolor=window>20<"), std::string::npos);
    EXPECT_EQ(s.rfind("</table></td></tr></table>"), s.size() - 26);
}

// A window that records what the state machine asks of it.
class FakeTipWindow : public TipHost {
public:
    std::map<int, int> timers;  // running timers and their intervals
    std::vector<std::string> shown;
    std::vector<int> paints;
    std::map<TipHandle, std::string> tools;
    bool visible = false;
    TipPoint cursor;
    TipController* ctl = nullptr;

    void StartTimer(int id, int ms) override { timers[id] = ms; }
    void StopTimer(int id) override { timers.erase(id); }
    bool WindowVisible() override { return visible; }
    void HideWindow() override { visible = false; }
    void Repaint(int t) override { paints.push_back(t); }
    TipPoint CursorPos() override { return cursor; }
    bool TipUnderCursor(TipPoint) override { return false; }
    bool FindCandidate(TipHandle window, TipPoint, TipHandle* tool, TipToolInfo* info) override {
        *tool = window;
        if (tools.count(window)) info->text = tools[window];
        return window != 0;
    }
    bool ShowTip(TipHandle, TipToolInfo& info, TipPoint, int, int) override {
        if (info.text.empty()) return false;
        shown.push_back(info.text);
        visible = true;
        ctl->OnPainted();
        return true;
    }
    void MoveTipTo(TipPoint) override {}
    std::string InspectText(TipPoint) override { return "inspect"; }
    TipHandle OwnWindow() override { return 99; }

    void Move(TipController& c, TipHandle window, TipPoint p) { cursor = p; c.OnMouseMove(window, p); }
    void Fire(TipController& c, int id) { ASSERT_TRUE(timers.count(id)) << id; c.OnTimer(id); }
};

struct ControllerFixture : ::testing::Test {
    FakeTipWindow win;
    TipController ctl{win};
    void SetUp() override {
        win.ctl = &ctl;
        win.tools = {{1, "Open picture"}, {2, "Connect to device"}};
        ctl.timing.initialDelay = 50;
        ctl.defaults.flags = TipRepeatShow | TipNoAutoHide;
    }
};

TEST_F(ControllerFixture, HoverShowsAfterDelaySwitchesAndHides) {
    win.Move(ctl, 1, {10, 10});
    EXPECT_EQ(win.timers.at(TipTimerInitial), 50);
    EXPECT_TRUE(win.shown.empty());
    win.Fire(ctl, TipTimerInitial);
    EXPECT_EQ(win.shown, std::vector<std::string>{"Open picture"});
    EXPECT_EQ(ctl.State(), TipShown);
    EXPECT_EQ(win.timers.count(TipTimerHide), 0u);  // no auto-hide

    win.Move(ctl, 1, {10, 10});  // same position: nothing
    EXPECT_EQ(win.timers.count(TipTimerInitial), 0u);
    win.Move(ctl, 2, {40, 10});  // another tool: hidden, shown again after the delay
    EXPECT_FALSE(win.visible);
    EXPECT_EQ(ctl.CurrentTool(), 0u);  // repeat-show forgets the hidden tool
    win.Fire(ctl, TipTimerInitial);
    EXPECT_EQ(win.shown.back(), "Connect to device");

    ctl.CursorLeft();  // out of the owner's windows
    EXPECT_FALSE(win.visible);
    win.Move(ctl, 2, {41, 10});
    win.Fire(ctl, TipTimerInitial);
    ctl.HideNow();  // a click or a key
    EXPECT_FALSE(win.visible);
    EXPECT_EQ(ctl.State(), TipHidden);
    EXPECT_EQ(ctl.CurrentTool(), 0u);  // repeat-show forgets the tool

    win.Move(ctl, 3, {80, 10});  // a window without a text shows nothing
    win.Fire(ctl, TipTimerInitial);
    EXPECT_EQ(win.shown.size(), 3u);
    EXPECT_EQ(ctl.State(), TipHidden);

    win.Move(ctl, 1, {11, 10});
    win.cursor = {12, 10};  // the cursor moved on before the delay ended
    win.Fire(ctl, TipTimerInitial);
    EXPECT_EQ(win.shown.size(), 3u);
}

TEST_F(ControllerFixture, FadesAndPendingShowAndAutoHide) {
    ctl.timing.fadeInInterval = 30;
    ctl.timing.fadeOutInterval = 30;
    ctl.defaults.flags = 0;
    win.Move(ctl, 1, {10, 10});
    win.Fire(ctl, TipTimerInitial);
    EXPECT_EQ(ctl.Transparency(), 100);
    for (int i = 0; i < 5; ++i) win.Fire(ctl, TipTimerFadeIn);
    EXPECT_EQ(win.paints, (std::vector<int>{80, 60, 40, 20, 0}));
    EXPECT_EQ(win.timers.count(TipTimerFadeIn), 0u);
    EXPECT_EQ(win.timers.at(TipTimerHide), 5000);

    win.Move(ctl, 2, {40, 10});  // fading out: the other tool waits
    EXPECT_EQ(ctl.State(), TipFadingOut);
    EXPECT_TRUE(ctl.HasPendingShow());
    for (int i = 0; i < 5; ++i) win.Fire(ctl, TipTimerFadeOut);
    EXPECT_FALSE(win.visible);
    win.Fire(ctl, TipTimerInitial);
    for (int i = 0; i < 5; ++i) win.Fire(ctl, TipTimerFadeIn);
    EXPECT_EQ(win.shown.back(), "Connect to device");
    win.Fire(ctl, TipTimerHide);
    EXPECT_EQ(ctl.State(), TipFadingOut);

    ctl.ShowAtPoint({300, 300}, "At a point");
    win.Move(ctl, 1, {10, 10});  // ignored while shown on request
    for (int i = 0; i < 5; ++i) win.Fire(ctl, TipTimerFadeOut);
    EXPECT_EQ(win.shown.back(), "At a point");
    EXPECT_EQ(ctl.PendingInfo().flags & TipNoAutoHide, TipNoAutoHide);
}

TEST_F(ControllerFixture, EmptyTextAtAPointAndTheHideTimerWhileHidden) {
    ctl.ShowAtPoint({300, 300}, "");   // nothing shown, nothing left pending
    EXPECT_FALSE(ctl.HasPendingShow());
    win.Move(ctl, 1, {10, 10});        // the mouse shows tips again
    win.Fire(ctl, TipTimerInitial);
    EXPECT_EQ(win.shown, std::vector<std::string>{"Open picture"});
    ctl.ShowAtPoint({300, 300}, "At a point");
    ctl.ShowAtPoint({300, 300}, "");   // cancels the show waiting for the fade-out
    EXPECT_FALSE(ctl.HasPendingShow());

    ctl.HideNow();
    ctl.timing.fadeOutEnabled = false;
    ctl.defaults.flags = TipKeepOnMove;
    win.Move(ctl, 2, {40, 10});
    win.Fire(ctl, TipTimerInitial);
    win.Fire(ctl, TipTimerHide);       // hidden after the hide delay
    EXPECT_EQ(ctl.State(), TipHidden);
    win.Move(ctl, 2, {41, 10});        // moving on the same tool starts no timer
    EXPECT_EQ(win.timers.count(TipTimerHide), 0u);
}

} // namespace
