#include "support/FakeSystem.h"

namespace velkor::test {

bool FakeSystem::SetThreadPriority(int priority) {
    priorities.push_back(priority);
    return true;
}

bool FakeSystem::RequestRestart() {
    ++restartRequests;
    return false;
}

}  // namespace velkor::test
