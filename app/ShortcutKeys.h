// The main window's keyboard shortcuts, as a pure map from a key press to a
// command, so that the window only has to carry the command out.
//
//   Ctrl+O                      open a picture
//   + and - (main keys, keypad) zoom in and out
//   arrow keys                  pan the preview by one scroll-bar line step
//
// Enter and Escape are not shortcuts: the dialog ignores them.
#pragma once

namespace quorvel {

enum class MainKeyCommand { None, Open, ZoomIn, ZoomOut, PanLeft, PanRight, PanUp, PanDown };

// Virtual-key codes as the system numbers them.
namespace vk {
constexpr unsigned kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;
constexpr unsigned kO = 0x4F;
constexpr unsigned kAdd = 0x6B, kSubtract = 0x6D;          // keypad
constexpr unsigned kOemPlus = 0xBB, kOemMinus = 0xBD;      // main keyboard
}  // namespace vk

// The command of a key going down with the given modifier keys held. Shift
// does not matter (on many layouts "+" needs it); Alt leaves every key to
// the menu; Ctrl is needed for Open and keeps the other keys from acting.
MainKeyCommand MainWindowKeyCommand(unsigned virtualKey, bool ctrl, bool alt);

}  // namespace quorvel
