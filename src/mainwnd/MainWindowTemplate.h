#pragma once

#include "mainwnd/MainWindowLayout.h"
#include "ui/DialogTemplate.h"

namespace velkor::mainwnd {

// Control identifiers of the main window.
namespace control {
inline constexpr int kOsPath = 1000;
inline constexpr int kOsBrowse = 1001;
inline constexpr int kLogoPath = 1003;
inline constexpr int kLogoBrowse = 1004;
inline constexpr int kLogo2Browse = 1005;
inline constexpr int kBootPath = 1006;
inline constexpr int kBootBrowse = 1007;
inline constexpr int kUpdate = 1008;
inline constexpr int kResetPath = 1009;
inline constexpr int kResetBrowse = 1010;
inline constexpr int kLogo2Path = 1011;
inline constexpr int kAppBrowse = 1012;
inline constexpr int kAppPath = 1013;
inline constexpr int kGroupBox = 1014;
inline constexpr int kOsCheck = 1015;
inline constexpr int kLogoCheck = 1016;
inline constexpr int kBootCheck = 1017;
inline constexpr int kOsStatus = 1018;
inline constexpr int kLogoStatus = 1019;
inline constexpr int kBootStatus = 1020;
inline constexpr int kResetCheck = 1021;
inline constexpr int kResetStatus = 1022;
inline constexpr int kExit = 1023;
inline constexpr int kFormat = 1024;
inline constexpr int kLogo2Check = 1025;
inline constexpr int kLogo2Status = 1026;
inline constexpr int kAppCheck = 1027;
inline constexpr int kAppStatus = 1028;
inline constexpr int kRestart = 1029;
}  // namespace control

// The main window: 224 x 134 dialog units and its 29 controls in tab order.
const ui::DialogTemplate& MainWindowTemplate();
// Every control's size in pixels as the template makes it, with its border.
ControlSizes MainWindowControlSizes();

}  // namespace velkor::mainwnd
