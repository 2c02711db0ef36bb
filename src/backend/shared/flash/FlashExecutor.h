#pragma once

#include "backend/shared/flash/FlashRequest.h"

namespace velkor::shared {

// A flash driver as its handle sees it: it carries out one request at a time.
class FlashExecutor {
public:
    virtual ~FlashExecutor() = default;

    // False, with the last error set, when the request was not carried out.
    virtual bool Execute(const FlashRequest& request) = 0;
};

}  // namespace velkor::shared
