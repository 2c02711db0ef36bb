#include "app/LanguageSelection.h"

namespace velkor::app {

void SelectUiLanguage(ui::UiStrings& strings, const platform::System& system) {
    if (system.GetDefaultLanguageId() == kLanguageChinesePrc) {
        strings.UseChineseSet();
    }
}

}  // namespace velkor::app
