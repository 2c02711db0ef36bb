#include "backend/sim/PowerCutEnvironment.h"

#include <fstream>
#include <string>

namespace velkor::sim {
namespace {

std::string ReadCopy(const shared::EnvironmentCopy& copy) {
    std::string bytes(copy.size, '\0');
    std::ifstream in(copy.device, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(copy.offset));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void WriteCopy(const shared::EnvironmentCopy& copy, const std::string& bytes) {
    std::fstream out(copy.device, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(copy.offset));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

PowerCutEnvironment::PowerCutEnvironment(shared::BootEnvironment& environment, shared::EnvironmentCopies copies,
                                         PowerCut& powerCut)
    : environment_(environment), copies_(std::move(copies)), powerCut_(powerCut) {}

void PowerCutEnvironment::Store(const shared::BootVariables& variables) {
    if (!powerCut_.Armed()) {
        environment_.Store(variables);
        return;
    }
    const std::array before{ReadCopy(copies_[0]), ReadCopy(copies_[1])};
    environment_.Store(variables);
    // A store writes one whole copy, the older one.
    for (std::size_t index = 0; index < copies_.size(); ++index) {
        const std::string after = ReadCopy(copies_[index]);
        if (after == before[index]) {
            continue;
        }
        const std::uint64_t landed = powerCut_.Admit(after.size());
        if (landed < after.size()) {
            WriteCopy(copies_[index], after.substr(0, landed) + before[index].substr(landed));
            powerCut_.Cut();
        }
    }
}

}  // namespace velkor::sim
