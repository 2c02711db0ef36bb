#include "velkor-device/FileDigest.h"

#include <QCryptographicHash>
#include <QFile>

namespace velkor::device_tool {

std::string Sha256Of(const std::filesystem::path& file) {
    QFile input(QFile::decodeName(file.c_str()));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!input.open(QIODevice::ReadOnly) || !hash.addData(&input)) {
        return "(unreadable)";
    }
    return hash.result().toHex().toStdString();
}

}  // namespace velkor::device_tool
