// The Image size dialog: the box (width and height in pixels) into which the
// main window fits the current picture. It only shows and collects the two
// numbers; the main window applies them.
#pragma once
#include "toolkit/Dialog.h"

class CDefaultSettings : public tk::CDialog {
public:
    explicit CDefaultSettings(HWND parent = nullptr);

    void SetHeight(int value) { m_height = value; }
    void SetWidth(int value) { m_width = value; }
    int GetHeight() const { return m_height; }
    int GetWidth() const { return m_width; }

protected:
    bool OnCommand(int id, int code, HWND control) override;
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnOK() override { OnAccept(); }

private:
    void OnAccept();

    int m_height = 100;
    int m_width = 100;
    tk::CEdit m_editWidth;
    tk::CEdit m_editHeight;
};

// Plain decimal conversion: leading white space, an optional sign, digits up
// to the first other character; no digits give 0. Values beyond 32 bits are
// clamped.
int ParseDecimal(const std::string& text);
