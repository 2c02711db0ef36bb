#include "sim/storage/FatUtilLibrary.h"

namespace velkor::sim {
namespace {

constexpr std::u16string_view kFormatVolumeEntry = u"FormatVolume";

}  // namespace

FatUtilLibrary::FatUtilLibrary(FatFormatter& formatter, StorageContext& context)
    : formatter_(formatter), context_(context) {}

platform::FormatVolumeEntry FatUtilLibrary::FindFormatVolume(std::u16string_view entryName) {
    if (entryName != kFormatVolumeEntry || context_.faults.formatEntryMissing) {
        context_.errors.Fail(platform::error::kProcedureNotFound);
        return {};
    }
    return [&formatter = formatter_](platform::Partition& partition, const platform::DiskInfo& disk,
                                     const platform::FormatOptions& options) {
        return formatter.Format(partition, disk, options);
    };
}

}  // namespace velkor::sim
