#include "backend/shared/DebugLine.h"

#include "platform/DeviceText.h"

namespace velkor::shared {

std::string DebugLine(std::u16string_view text) {
    if (text.ends_with(u'\n')) {
        text.remove_suffix(1);
    }
    std::string line;
    for (const char c : platform::ToUtf8(text)) {
        if (c == '\r') {
            line += "\\r";
        } else if (c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    return line;
}

}  // namespace velkor::shared
