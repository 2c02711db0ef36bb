#pragma once

#include "backend/shared/ErrorState.h"
#include "platform/ErrorCodes.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace velkor::shared {

// A store or partition search (`Search` is the platform's interface, `Info` what it reports) over
// the items as they were when it started.
template <typename Search, typename Info>
class ListSearch : public Search {
public:
    // Reports the first item into `first`; null with kNoMoreItems when there is none.
    static std::unique_ptr<Search> Start(std::vector<Info> items, Info& first, ErrorState& errors) {
        if (items.empty()) {
            errors.Fail(platform::error::kNoMoreItems);
            return nullptr;
        }
        first = items.front();
        return std::unique_ptr<Search>(new ListSearch(std::move(items), errors));
    }

    bool FindNext(Info& info) override {
        if (next_ == items_.size()) {
            return errors_.Fail(platform::error::kNoMoreItems);
        }
        info = items_[next_++];
        return true;
    }

private:
    ListSearch(std::vector<Info> items, ErrorState& errors) : items_(std::move(items)), errors_(errors) {}

    std::vector<Info> items_;
    std::size_t next_ = 1;
    ErrorState& errors_;
};

}  // namespace velkor::shared
