#pragma once

#include "trust/CardRefusal.h"
#include "ui/UiStrings.h"

#include <string>

namespace velkor::mainwnd {

// What the operator reads when a card is refused: why, and that nothing was done, in the device's
// language.
std::u16string CardRefusalMessage(const ui::UiStrings& strings, trust::CardRefusal refusal);

}  // namespace velkor::mainwnd
