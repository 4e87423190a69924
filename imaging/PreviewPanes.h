// The three panes of the device preview: a drawing of the handheld scaled so
// that its screen has the handheld's resolution (CScrollPreviewDlg, which
// also owns the scroll bars and is cut by a window region so the screen is a
// hole), the pane in that hole (CDeviceOutDlg), and the picture at its
// target size inside it (CRealPictDlg), moved to pan and dragged with the
// mouse.
#pragma once
#include "imaging/Geometry.h"
#include "toolkit/Dialog.h"

class CRealPictDlg : public tk::CDialog {
public:
    CRealPictDlg();
    ~CRealPictDlg() override;

    // Takes a memory DC made by the image operations (with its bitmap) and
    // releases the one held before.
    void SetPicture(HDC picture);
    bool HasPicture() const { return m_picture != nullptr; }
    HDC Picture() const { return m_picture; }

protected:
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    HDC m_picture = nullptr;
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
