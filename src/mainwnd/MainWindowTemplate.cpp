#include "mainwnd/MainWindowTemplate.h"

#include <array>

namespace velkor::mainwnd {
namespace {

using ui::ControlKind;
using namespace control;

constexpr bool kHidden = false;
constexpr bool kDisabled = false;

const std::array<ui::ControlTemplate, 29> kControls{{
    {kUpdate, ControlKind::PushButton, u"Update", {140, 114, 35, 13}},
    {kExit, ControlKind::PushButton, u"Exit", {182, 114, 35, 13}},
    {kFormat, ControlKind::PushButton, u"Format", {72, 114, 59, 13}},
    {kOsCheck, ControlKind::CheckBox, u"OS:", {10, 12, 34, 12}},
    {kOsBrowse, ControlKind::PushButton, u"...", {125, 12, 16, 13}},
    {kLogoCheck, ControlKind::CheckBox, u"Logo:", {10, 29, 34, 13}},
    {kLogoBrowse, ControlKind::PushButton, u"...", {125, 31, 16, 13}},
    {kBootCheck, ControlKind::CheckBox, u"Boot:", {10, 47, 34, 12}},
    {kBootBrowse, ControlKind::PushButton, u"...", {125, 49, 16, 13}},
    {kLogo2Check, ControlKind::CheckBox, u"Logo2:", {10, 61, 34, 13}},
    {kLogo2Browse, ControlKind::PushButton, u"...", {125, 63, 16, 13}},
    {kAppCheck, ControlKind::CheckBox, u"App", {11, 79, 34, 12}},
    {kAppBrowse, ControlKind::PushButton, u"...", {126, 78, 16, 13}},
    {kResetCheck, ControlKind::CheckBox, u"Reset", {7, 95, 34, 12}},
    {kResetBrowse, ControlKind::PushButton, u"...", {122, 94, 16, 13}, kHidden},
    {kOsPath, ControlKind::Edit, u"", {48, 13, 76, 12}, true, kDisabled},
    {kOsStatus, ControlKind::Label, u"Static", {144, 13, 69, 13}},
    {kLogoPath, ControlKind::Edit, u"", {48, 31, 76, 12}, true, kDisabled},
    {kLogoStatus, ControlKind::Label, u"Static", {144, 30, 69, 13}},
    {kBootPath, ControlKind::Edit, u"", {48, 49, 76, 12}, true, kDisabled},
    {kBootStatus, ControlKind::Label, u"Static", {144, 49, 69, 13}},
    {kLogo2Path, ControlKind::Edit, u"", {48, 63, 76, 12}, true, kDisabled},
    {kLogo2Status, ControlKind::Label, u"Static", {144, 62, 69, 13}},
    {kAppPath, ControlKind::Edit, u"", {47, 78, 76, 12}, true, kDisabled},
    {kAppStatus, ControlKind::Label, u"Static", {144, 78, 69, 13}},
    {kResetStatus, ControlKind::Label, u"Static", {140, 94, 69, 13}},
    {kGroupBox, ControlKind::GroupBox, u"Update Type: ", {7, 16, 210, 111}},
    {kResetPath, ControlKind::Edit, u"", {42, 94, 76, 12}, true, kDisabled},
    {kRestart, ControlKind::PushButton, u"Restart", {18, 113, 50, 14}},
}};

const ui::DialogTemplate kMainWindow{{224, 134}, kControls};

}  // namespace

const ui::DialogTemplate& MainWindowTemplate() { return kMainWindow; }

ControlSizes MainWindowControlSizes() {
    ControlSizes sizes;
    for (const ui::ControlTemplate& control : kControls) {
        const QRect pixels = ui::DialogUnitsToPixels(control.rect);
        sizes[control.id] = {pixels.width(), pixels.height(), ui::BorderWidth(control.kind)};
    }
    return sizes;
}

}  // namespace velkor::mainwnd
