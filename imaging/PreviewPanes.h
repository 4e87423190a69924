// The three panes of the device preview: a drawing of the handheld scaled so
// that its screen has the handheld's resolution (CScrollPreviewDlg, which
// also owns the scroll bars and is cut by a window region so the screen is a
// hole), the pane in that hole (CDeviceOutDlg), and the picture at its
// target size inside it (CRealPictDlg), moved to pan and dragged with the
// mouse.
#pragma once
#include "imaging/Geometry.h"
#include "imaging/ImageOps.h"
#include "toolkit/Dialog.h"

class CRealPictDlg : public tk::CDialog {
public:
    CRealPictDlg();
    ~CRealPictDlg() override;

    // The decoded picture to show fitted at `target` size (null: none); the
    // pane holds no rendered copy of it. On every paint only the part that
    // lies behind the screen hole is rendered.
    void SetPicture(DecodedPictureRef picture, imaging::Size target);
    bool HasPicture() const { return m_picture != nullptr; }
    // Paints into `dc` the part of the picture inside `dirty`: `pane` is this
    // pane's rectangle and `screen` the device-screen pane's client area, all
    // in the coordinates of `dc`'s window. White where nothing can be drawn.
    void PaintPart(HDC dc, const imaging::Rect& pane, const imaging::Rect& screen, const imaging::Rect& dirty) const;

protected:
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    DecodedPictureRef m_picture;
    imaging::Size m_target;
    HCURSOR m_cursor = nullptr;
    POINT m_dragAnchor{-1, -1};
};

class CDeviceOutDlg : public tk::CDialog {
public:
    CDeviceOutDlg();
    void SetRealPane(CRealPictDlg* pane) { m_realPane = pane; }

protected:
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    CRealPictDlg* m_realPane = nullptr;
};

class CScrollPreviewDlg : public tk::CDialog {
public:
    CScrollPreviewDlg();
    ~CScrollPreviewDlg() override;

    void SetRealPane(CRealPictDlg* pane) { m_realPane = pane; }
    void SetScreenSize(int cx, int cy) { m_screenSize = imaging::Size{cx, cy}; }
    imaging::Size GetScreenSize() const { return m_screenSize; }
    imaging::Point GetScreenOffset() const { return m_screenOffset; }
    // The connected or disconnected look for the current screen size: the
    // scaled handheld, the pane's size and its window region.
    void SetDeviceLook(bool connected);
    // Scroll bars whose reachable positions are 0..h and 0..v, centred.
    void SetScrollRanges(int h, int v);

protected:
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    // `carriedPosition` is the thumb position the scroll message carries.
    void OnScroll(int bar, int code, int carriedPosition);

    imaging::Size m_screenSize{240, 160};
    HDC m_deviceImage = nullptr;
    CRealPictDlg* m_realPane = nullptr;
    imaging::Point m_screenOffset{};
};
