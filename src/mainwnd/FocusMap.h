#pragma once

#include <optional>

namespace velkor::mainwnd {

enum class FocusDirection { Left, Right, Up, Down };

// Where an arrow key moves the focus in the main window: the control that follows `focused` in
// `direction`, over the check boxes, the browse buttons and the command buttons; nothing when
// `focused` is not one of them.
std::optional<int> NextFocus(int focused, FocusDirection direction);

}  // namespace velkor::mainwnd
