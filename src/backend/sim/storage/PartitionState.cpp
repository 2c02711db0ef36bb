#include "backend/sim/storage/PartitionState.h"

#include "backend/shared/storage/PartitionLabel.h"

namespace velkor::sim {

std::string PartitionState::Label() const { return shared::PartitionLabel(store.deviceName, config.name); }

}  // namespace velkor::sim
