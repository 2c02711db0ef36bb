#include "mainwnd/FocusMap.h"

#include "mainwnd/MainWindowTemplate.h"

#include <algorithm>
#include <array>

namespace velkor::mainwnd {
namespace {

using namespace control;

struct FocusStep {
    int from;
    int left;
    int right;
    int up;
    int down;
};

// Down walks the check boxes top to bottom, then the browse buttons, then the command buttons,
// and wraps; Up walks back. Right walks the rows in turn, each row's check box then its browse
// button, then the command buttons, except that it skips Format from Restart and goes on from
// Exit to the OS check box; Left walks the rows back and wraps from the Logo check box to Exit.
constexpr std::array<FocusStep, 15> kFocusMap{{
    {kLogoCheck, kExit, kLogoBrowse, kExit, kLogo2Check},
    {kLogoBrowse, kLogoCheck, kLogo2Check, kResetCheck, kLogo2Browse},
    {kLogo2Check, kLogoBrowse, kLogo2Browse, kLogoCheck, kBootCheck},
    {kLogo2Browse, kLogo2Check, kBootCheck, kLogoBrowse, kBootBrowse},
    {kBootCheck, kLogo2Browse, kBootBrowse, kLogo2Check, kOsCheck},
    {kBootBrowse, kBootCheck, kOsCheck, kLogo2Browse, kOsBrowse},
    {kOsCheck, kBootBrowse, kOsBrowse, kBootCheck, kAppCheck},
    {kOsBrowse, kOsCheck, kAppCheck, kBootBrowse, kAppBrowse},
    {kAppCheck, kOsBrowse, kAppBrowse, kOsCheck, kResetCheck},
    {kAppBrowse, kAppCheck, kResetCheck, kOsBrowse, kRestart},
    {kResetCheck, kAppBrowse, kRestart, kAppCheck, kLogoBrowse},
    {kRestart, kResetCheck, kUpdate, kAppBrowse, kFormat},
    {kFormat, kRestart, kUpdate, kRestart, kUpdate},
    {kUpdate, kFormat, kExit, kFormat, kExit},
    {kExit, kUpdate, kOsCheck, kUpdate, kLogoCheck},
}};

}  // namespace

std::optional<int> NextFocus(int focused, FocusDirection direction) {
    const auto step = std::find_if(kFocusMap.begin(), kFocusMap.end(),
                                   [focused](const FocusStep& candidate) { return candidate.from == focused; });
    if (step == kFocusMap.end()) {
        return std::nullopt;
    }
    switch (direction) {
        case FocusDirection::Left:
            return step->left;
        case FocusDirection::Right:
            return step->right;
        case FocusDirection::Up:
            return step->up;
        case FocusDirection::Down:
            return step->down;
    }
    return std::nullopt;
}

}  // namespace velkor::mainwnd
