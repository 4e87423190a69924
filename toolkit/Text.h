// Text conversions and the program's standard message boxes. The program's
// text is 8-bit text in the ANSI code page; the imaging service and the
// handheld manager's component want UTF-16.
#pragma once
#include "toolkit/Win.h"
#include <string>

namespace tk {

// ANSI (the calling thread's code page) to UTF-16.
std::wstring ToWide(const std::string& text);
// UTF-16 to ANSI (the calling thread's code page).
std::string ToAnsi(const std::wstring& text);

// `text` in the thread's ANSI code page exactly: false when the code page
// lacks one of its characters (no best-fit stand-in, no default character).
bool ToAnsiExactly(const std::wstring& text, std::string* ansi);

// The caption every message box of the main window and the device link has.
extern const char* const kAppCaption;

// A warning with one OK button, owned by `owner`, captioned kAppCaption.
// Returns the button pressed (IDOK), or 0 when the box could not be shown.
int ShowWarning(HWND owner, const std::string& text);

// The window's text, whole, as ANSI.
std::string GetWindowTextString(HWND wnd);

} // namespace tk
