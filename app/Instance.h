// One running program per user session, and the hand-over of a picture from
// a second start to it.
//
// The running program holds a named mutex in the session for its whole life:
// only that makes a second start a second one, whatever other windows are
// open (an Explorer window on the program's folder, an editor on a file whose
// name holds the program's name). The second start finds the main window by
// the mark the main window carries, in a process that runs the same program
// file, and hands the picture over with WM_COPYDATA, naming a window of its
// own in wParam so the receiver can check who sends.
#pragma once
#include "toolkit/Handles.h"

#include <string>

namespace quorvel {

// Creates or opens the session's instance mutex. *another is true when some
// process had made it already. The owner keeps it for the life of the run.
tk::UniqueHandle ClaimInstance(bool* another);

// Marks (or unmarks) `wnd` as the program's main window.
void MarkMainWindow(HWND wnd, bool mark);
// The marked main window of another process that runs this program file;
// null when there is none (for instance while it is still starting).
HWND FindRunningMainWindow();

// True when the process `processId` runs this very program file (the same
// file on disk, whatever the spelling of its path).
bool RunsThisProgram(DWORD processId);

// Hands `path` to the main window `target` (WM_COPYDATA, kOpenPictureCopyTag)
// from a message-only window of this process; true when the window took it.
bool HandPictureToInstance(HWND target, const std::wstring& path);

// True when a picture handed over from `sender` (the wParam of WM_COPYDATA)
// may be opened: the sender runs this program file, and the path passes
// IsHandablePath and names an existing regular file on a local or network
// drive (no directory, device or pipe).
bool IsAcceptableHandOver(HWND sender, const std::wstring& path);

}  // namespace quorvel
