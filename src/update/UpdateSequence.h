#pragma once

#include "platform/FileSystem.h"
#include "platform/System.h"
#include "update/UpdateWindow.h"

#include <array>
#include <functional>
#include <string_view>
#include <vector>

namespace velkor::update {

inline constexpr std::u16string_view kWaitingText = u"Waiting...";
inline constexpr std::u16string_view kSucceedText = u"Succeed";
inline constexpr std::u16string_view kSucceedPattern = u"%s [%d s]";
inline constexpr std::u16string_view kFailedText = u"Failed";
inline constexpr std::u16string_view kFinalMessage = u"升级完成,请拔出SD卡后重启系统";
// Instead of kFinalMessage when a row failed or the commit point was not made, in both languages.
inline constexpr std::u16string_view kIncompleteMessage =
    u"升级未完成,请查看显示Failed的项,然后用同一张SD卡重新升级\n"
    u"The update is not complete: see the rows that show Failed, then run the same card again";
// Instead of a run, when the device cannot keep a bootable, confirmed fallback through it.
inline constexpr std::u16string_view kNotStartedMessage =
    u"升级未开始,未写入任何内容:请先重启设备,或在SD卡上同时放入OS和App\n"
    u"The update did not start and nothing was written: restart the device first, or carry both OS and App";
// Instead of an unattended run, when the device already runs the card's release, confirmed.
inline constexpr std::u16string_view kAlreadyRunningMessage =
    u"设备已在运行此SD卡的版本,未写入任何内容;如需重新写入,请按Update\n"
    u"The device already runs this card's release: nothing was written. To write it again, press Update";

// One update run: first the device's word on whether it may start (kNotStartedMessage or
// kAlreadyRunningMessage, and nothing else, when it may not); then the sibling programs stopped,
// the data volume formatted, then the chosen image steps in the order Logo, Logo2, Boot, Reset, OS,
// App, each row showing "Waiting..." while it runs
// and its result after; then the commit point, told whether every chosen row succeeded, and the
// final message after every run: kFinalMessage only when every chosen row succeeded and the commit
// was made, kIncompleteMessage otherwise.
class UpdateSequence {
public:
    // Asked after a row failed: false when the rows after it must not run (the card it writes from
    // is no longer the one that was checked); they are then left as rows not chosen.
    using RowsGoOn = std::function<bool()>;

    UpdateSequence(UpdateWindow& window, platform::System& system, platform::FileSystem& fileSystem);

    // `unattended`: the card's AutoUpdate folder started the run.
    void Run(const RowsGoOn& rowsGoOn = {}, bool unattended = false);

    // The rows a run started now would carry out, in their order, as each row will decide at its
    // turn: a row before OS runs when its flag is set and its box checked and enabled; OS and the
    // rows after it follow their boxes alone, since the OS row first reads the boxes into the flags.
    // Changes nothing, so that what the run will write can be checked before it begins.
    std::vector<ImageKind> ChosenRows();

private:
    struct Step;
    enum class RowOutcome { NotChosen, Succeeded, Failed };
    // In the order the rows run.
    static const std::array<Step, 6>& Steps();

    void Prepare();
    RowOutcome RunRow(const Step& step);
    RowOutcome LeaveRow(const Step& step);
    bool IsChosen(const Step& step);
    int TimedStep(const Step& step, std::int64_t& seconds);
    void Finish(bool exitStaysDisabled, bool complete);

    UpdateWindow& window_;
    platform::System& system_;
    platform::FileSystem& fileSystem_;
};

}  // namespace velkor::update
