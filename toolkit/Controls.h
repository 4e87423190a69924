// Thin wrappers around the controls a dialog binds by id. A wrapper does not
// own its window (the dialog does); it only gives the window's handle a
// typed face. Every call works from any thread: the platform carries window
// operations made by a worker to the window's thread as synchronous messages.
#pragma once
#include "toolkit/Win.h"
#include <string>

namespace tk {

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    explicit operator bool() const { return m_hwnd != nullptr; }

    // Binds the wrapper to an existing window. A subclass may hook the
    // window here (see CSubclassedWnd).
    virtual void Attach(HWND wnd) { m_hwnd = wnd; }
    virtual void Detach() { m_hwnd = nullptr; }

    void SetText(const std::string& text) const;
    std::string GetText() const;
    void Enable(bool enable) const { ::EnableWindow(m_hwnd, enable ? TRUE : FALSE); }
    bool IsEnabled() const { return ::IsWindowEnabled(m_hwnd) != FALSE; }
    void Show(bool show) const { ::ShowWindow(m_hwnd, show ? SW_SHOW : SW_HIDE); }
    bool IsVisible() const { return ::IsWindowVisible(m_hwnd) != FALSE; }
    void Move(int x, int y, int w, int h, bool repaint = true) const {
        ::MoveWindow(m_hwnd, x, y, w, h, repaint ? TRUE : FALSE);
    }
    void Invalidate(bool erase = true) const { ::InvalidateRect(m_hwnd, nullptr, erase ? TRUE : FALSE); }
    RECT ClientRect() const { RECT r{}; ::GetClientRect(m_hwnd, &r); return r; }
    RECT WindowRect() const { RECT r{}; ::GetWindowRect(m_hwnd, &r); return r; }
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageA(m_hwnd, msg, wp, lp); }

protected:
    HWND m_hwnd = nullptr;
};

class CButton : public CWnd {
public:
    // Shows `icon` on the button (BS_ICON buttons); the caller keeps the icon.
    void SetIcon(HICON icon) const { Send(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)); }
};

class CEdit : public CWnd {
public:
    void SetLimit(int chars) const { Send(EM_LIMITTEXT, static_cast<WPARAM>(chars)); }
    void SelectAll() const { Send(EM_SETSEL, 0, -1); }
};

class CStatic : public CWnd {};

// A status bar in simple mode along the bottom edge of its parent.
class CStatusBar : public CWnd {
public:
    bool Create(HWND parent, int id);
    void SetSimpleText(const std::string& text) const;
    std::string GetSimpleText() const;
    // Keeps the bar along the bottom edge after the parent changed size.
    void Reposition() const { Send(WM_SIZE); }
};

class CProgressBar : public CWnd {
public:
    void SetRange(int lower, int upper) const { Send(PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper)); }
    void SetStep(int step) const { Send(PBM_SETSTEP, static_cast<WPARAM>(step)); }
    int StepIt() const { return static_cast<int>(Send(PBM_STEPIT)); }
    int SetPos(int pos) const { return static_cast<int>(Send(PBM_SETPOS, static_cast<WPARAM>(pos))); }
    int GetPos() const { return static_cast<int>(Send(PBM_GETPOS)); }
};

} // namespace tk
