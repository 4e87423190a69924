#include "app/ShortcutKeys.h"

namespace quorvel {

MainKeyCommand MainWindowKeyCommand(unsigned virtualKey, bool ctrl, bool alt) {
    if (alt) return MainKeyCommand::None;
    if (ctrl) return virtualKey == vk::kO ? MainKeyCommand::Open : MainKeyCommand::None;
    switch (virtualKey) {
    case vk::kAdd: case vk::kOemPlus: return MainKeyCommand::ZoomIn;
    case vk::kSubtract: case vk::kOemMinus: return MainKeyCommand::ZoomOut;
    case vk::kLeft: return MainKeyCommand::PanLeft;
    case vk::kRight: return MainKeyCommand::PanRight;
    case vk::kUp: return MainKeyCommand::PanUp;
    case vk::kDown: return MainKeyCommand::PanDown;
    default: return MainKeyCommand::None;
    }
}

}  // namespace quorvel
