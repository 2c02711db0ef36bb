#include "sim/storage/PartitionState.h"

#include "host/storage/PartitionLabel.h"

namespace velkor::sim {

std::string PartitionState::Label() const { return host::PartitionLabel(store.deviceName, config.name); }

}  // namespace velkor::sim
