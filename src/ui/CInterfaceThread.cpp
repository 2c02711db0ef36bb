#include "ui/CInterfaceThread.h"

namespace velkor::ui {

bool CInterfaceThread::InitInstance() { return true; }

}  // namespace velkor::ui
