#pragma once

#include "platform/DeviceIo.h"
#include "update/UpdateSettings.h"

#include <string>
#include <string_view>

namespace velkor::update {

enum class CommandButton { Format, Update, Exit };

// What an update run needs of the main window: its rows' check boxes and status labels, the data
// exchange between controls and members, its command buttons, and the work it delegates.
class UpdateWindow {
public:
    virtual ~UpdateWindow() = default;

    virtual void StopRunningPrograms() = 0;
    virtual void FormatDataVolume() = 0;
    // Runs the row's image step; exactly 1 is success.
    virtual int RunStep(ImageKind kind) = 0;
    // Before the run's first effect: the platform's StartUpdate (the device's word on whether the
    // update may start). `unattended`: the card's AutoUpdate folder started it.
    virtual platform::UpdateStart StartUpdate(bool unattended) = 0;
    // The commit point, after the last row: the platform's CommitUpdate, told whether every chosen
    // row succeeded; whether it was made. The rows' statuses stay as their steps answered.
    virtual bool CommitUpdate(bool wholeUpdate) = 0;

    // True only when the row's check box reports itself checked.
    virtual bool IsChecked(ImageKind kind) = 0;
    virtual bool IsCheckBoxEnabled(ImageKind kind) = 0;
    // true: controls into members; false: members into controls.
    virtual void UpdateData(bool saveAndValidate) = 0;
    virtual UpdateSettings& Settings() = 0;
    virtual std::u16string& Status(ImageKind kind) = 0;

    // Empties the row's label (not its member) and paints it before returning. An update has begun
    // then, so the window also forgets that the card's AutoUpdate folder chose its rows.
    virtual void ClearStatusLabel(ImageKind kind) = 0;
    // Shows the row's status member in its label and paints it before returning.
    virtual void PaintStatus(ImageKind kind) = 0;
    virtual void EnableButton(CommandButton button, bool enabled) = 0;
    virtual void FocusButton(CommandButton button) = 0;
    virtual void SetWaitCursor(bool shown) = 0;
    // Returns once the operator has closed it. Its text also goes to the debug output.
    virtual void ShowMessage(std::u16string_view text) = 0;
};

}  // namespace velkor::update
