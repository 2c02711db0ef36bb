#pragma once

#include "backend/board/TargetConfig.h"
#include "backend/board/support/ClientProcess.h"
#include "platform/Windows.h"

#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor::test {

// One window each; `program` is which copy of the client runs it, and `ours` makes its
// _NET_WM_PID claim the test's own process, as the updater's windows would.
struct ClientPlan {
    std::string name;
    std::string program;
    bool ours = false;
    bool mapped = true;
    // In a frame of its own, as a reparenting window manager puts it.
    bool framed = false;
    std::string transientFor = {};
    bool exitOnClose = false;
};

// Clients of a scene on the display in $DISPLAY, started in the order of the plans (so bottom-most
// first), each running a copy of velkor_test_xclient under its program's name in $TMP/bin
// ("tirnow", "pavlor" or "plain"). Texts name windows and processes by client ("<tirnow>" for a
// process id), the test's own process "<self>" and paths under the temporary folder "$TMP".
class XClientScene {
public:
    explicit XClientScene(const std::vector<ClientPlan>& plans);

    std::filesystem::path Folder() const { return folder_; }
    // \Windows\Tirnow.exe (through a link to its copy) and \Windows\Pavlor.exe.
    std::vector<board::ProgramMapping> Programs() const;
    board::ClientProcess& Client(std::string_view name) const;
    platform::WindowHandle Window(std::string_view name) const { return Client(name).Window(); }
    std::uint32_t Pid(std::string_view name) const { return static_cast<std::uint32_t>(Client(name).Pid()); }
    // The lines the client wrote when asked to close, once it has written one (or after a while).
    std::string ClosedNote(std::string_view name) const;
    // The name of the client of `window`, or its number.
    std::string WindowText(platform::WindowHandle window) const;
    // Process ids as whole numbers and the paths of this run, named.
    std::string Named(std::string text) const;
    // Names the process of `client` `name` in Named's texts instead of the client's own name.
    void NameProcess(std::string_view client, std::string name) { processNames_.emplace_back(client, std::move(name)); }

private:
    std::vector<std::string> Arguments(const ClientPlan& plan) const;

    QTemporaryDir temporary_;
    std::filesystem::path folder_;
    std::vector<std::pair<std::string, std::unique_ptr<board::ClientProcess>>> clients_;
    std::vector<std::pair<std::string, std::string>> processNames_;
};

}  // namespace velkor::test
