// How a menu item looks, as the update rules of the command's handler decide.
#pragma once

namespace telvo {

struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool radio = false;  // the check is a radio dot rather than a check mark
};

}  // namespace telvo
