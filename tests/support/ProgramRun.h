#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>

namespace velkor::test {

struct ProgramResult {
    int exitCode = -1;
    bool finished = false;  // false when it crashed or had to be killed
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs a program to its end, killing it after `timeoutMs`; its standard input is closed.
ProgramResult RunProgram(const QString& program, const QStringList& arguments,
                         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                         int timeoutMs = 30000);

// The whole content of a host file; empty when it does not exist.
std::string ReadHostFile(const std::filesystem::path& path);
// The first `bytes` bytes of a host file or device (fewer where it holds fewer).
std::string ReadHostPrefix(const std::filesystem::path& path, std::size_t bytes);
void WriteHostFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace velkor::test
