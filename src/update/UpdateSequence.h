#pragma once

#include "platform/FileSystem.h"
#include "platform/System.h"
#include "update/UpdateWindow.h"

#include <array>
#include <string_view>

namespace velkor::update {

inline constexpr std::u16string_view kWaitingText = u"Waiting...";
inline constexpr std::u16string_view kSucceedText = u"Succeed";
inline constexpr std::u16string_view kSucceedPattern = u"%s [%d s]";
inline constexpr std::u16string_view kFailedText = u"Failed";
inline constexpr std::u16string_view kFinalMessage = u"升级完成,请拔出SD卡后重启系统";

// One update run: the sibling programs stopped, the data volume formatted, then the chosen image
// steps in the order Logo, Logo2, Boot, Reset, OS, App, each row showing "Waiting..." while it runs
// and its result after; then the commit point, and the final message after every run.
class UpdateSequence {
public:
    UpdateSequence(UpdateWindow& window, platform::System& system, platform::FileSystem& fileSystem);

    void Run();

private:
    struct Step;
    // In the order the rows run.
    static const std::array<Step, 6>& Steps();

    void Prepare();
    // Runs the row when it is chosen; true when its step answered 1.
    bool RunRow(const Step& step);
    bool IsChosen(const Step& step);
    int TimedStep(const Step& step, std::int64_t& seconds);
    void Finish(bool exitStaysDisabled);

    UpdateWindow& window_;
    platform::System& system_;
    platform::FileSystem& fileSystem_;
};

}  // namespace velkor::update
