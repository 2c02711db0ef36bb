#pragma once

namespace velkor::ui {

// What a dialog run by DoModal returns.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

}  // namespace velkor::ui
