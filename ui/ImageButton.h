// The toolbar's owner-drawn buttons: a soft shaded face, one icon for the
// enabled state and one for the disabled state, a light-up while the mouse is
// over the button, and a pressed look. The template's push button becomes
// owner-drawn when it is attached.
#pragma once
#include "toolkit/Controls.h"

class CTexturedIconButton : public tk::CButton {
public:
    CTexturedIconButton() = default;
    ~CTexturedIconButton() override;

    void Attach(HWND wnd) override;
    void Detach() override;

    // Icon resources for the enabled and disabled states.
    void SetStateIcons(int enabledIcon, int disabledIcon);
    // Draws the button; the parent forwards WM_DRAWITEM here.
    void DrawItem(const DRAWITEMSTRUCT& item) const;
    bool IsHovering() const { return m_hovering; }

private:
    static LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
    void LoadStateIcons();
    void FreeIcons();

    int m_enabledIconId = 0;
    int m_disabledIconId = 0;
    HICON m_icon = nullptr;
    HICON m_disabledIcon = nullptr;
    int m_iconSize = 32;
    bool m_hovering = false;
};
