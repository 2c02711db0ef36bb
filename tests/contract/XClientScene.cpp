#include "contract/XClientScene.h"

#include "support/ProgramRun.h"

#include <fmt/format.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kClientWaitMs = 5000;

}  // namespace

XClientScene::XClientScene(const std::vector<ClientPlan>& plans)
    : folder_(fs::canonical(temporary_.path().toStdString())) {
    fs::create_directories(folder_ / "bin");
    fs::create_directories(folder_ / "links");
    for (const char* program : {"tirnow", "pavlor", "plain"}) {
        fs::copy_file(VELKOR_TEST_XCLIENT, folder_ / "bin" / program);
    }
    fs::create_symlink("../bin/tirnow", folder_ / "links" / "tirnow");
    for (const ClientPlan& plan : plans) {
        clients_.emplace_back(plan.name, std::make_unique<board::ClientProcess>(Arguments(plan)));
    }
}

std::vector<board::ProgramMapping> XClientScene::Programs() const {
    return {{u"\\Windows\\Tirnow.exe", folder_ / "links" / "tirnow"}, {u"\\Windows\\Pavlor.exe", folder_ / "bin" / "pavlor"}};
}

board::ClientProcess& XClientScene::Client(std::string_view name) const {
    return *std::find_if(clients_.begin(), clients_.end(), [&](const auto& c) { return c.first == name; })->second;
}

std::string XClientScene::ClosedNote(std::string_view name) const {
    const fs::path note = folder_ / fmt::format("{}.closed", name);
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kClientWaitMs);
         !fs::exists(note) && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadHostFile(note);
}

std::string XClientScene::WindowText(platform::WindowHandle window) const {
    const auto client =
        std::find_if(clients_.begin(), clients_.end(), [&](const auto& c) { return c.second->Window() == window; });
    return client != clients_.end() ? client->first : fmt::format("{}", window);
}

std::string XClientScene::Named(std::string text) const {
    for (const auto& [name, client] : clients_) {
        const auto renamed = std::find_if(processNames_.begin(), processNames_.end(),
                                          [&](const auto& entry) { return entry.first == name; });
        const std::string shown = renamed != processNames_.end() ? renamed->second : name;
        text = std::regex_replace(text, std::regex(fmt::format(R"(\b{}\b)", client->Pid())), "<" + shown + ">");
    }
    text = std::regex_replace(text, std::regex(fmt::format(R"(\b{}\b)", getpid())), "<self>");
    for (std::size_t at = text.find(folder_.native()); at != std::string::npos; at = text.find(folder_.native())) {
        text.replace(at, folder_.native().size(), "$TMP");
    }
    return text;
}

std::vector<std::string> XClientScene::Arguments(const ClientPlan& plan) const {
    std::vector<std::string> arguments{(folder_ / "bin" / plan.program).native(), "--title", plan.name,
                                       "--closed-file", (folder_ / (plan.name + ".closed")).native()};
    if (plan.ours) {
        arguments.insert(arguments.end(), {"--pid", std::to_string(getpid())});
    }
    if (!plan.mapped) {
        arguments.push_back("--unmapped");
    }
    if (plan.framed) {
        arguments.push_back("--framed");
    }
    if (!plan.transientFor.empty()) {
        arguments.insert(arguments.end(), {"--transient-for", std::to_string(Window(plan.transientFor))});
    }
    if (plan.exitOnClose) {
        arguments.insert(arguments.end(), {"--on-close", "exit"});
    }
    return arguments;
}

}  // namespace velkor::test
