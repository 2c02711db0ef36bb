#pragma once

#include <string_view>

namespace velkor::app {

// What a usage error prints after its message.
inline constexpr std::string_view kUsage =
    "usage: velkor [--device DIR | --target FILE]\n"
    "       velkor --help | --version\n";

// What --help prints after the usage.
inline constexpr std::string_view kHelp =
    "Runs the device image updater full screen on one device:\n"
    "  --device DIR   the simulated device in the directory DIR (velkor-device init makes one);\n"
    "                 $VELKOR_DEVICE names it too, and without either the updater uses the device\n"
    "                 in ~/.local/share/velkor/device, made on first use\n"
    "  --target FILE  the real device that the target file FILE describes\n"
    "  --help         prints this help\n"
    "  --version      prints the version\n";

}  // namespace velkor::app
