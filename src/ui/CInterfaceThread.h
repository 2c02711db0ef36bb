#pragma once

#include <QThread>

namespace velkor::ui {

// The program's user-interface thread class. The program declares it and never starts it;
// every window runs on the main thread.
class CInterfaceThread : public QThread {
    Q_OBJECT

public:
    using QThread::QThread;

    // The thread's own set-up, of which there is none; true lets the thread run.
    bool InitInstance();
};

}  // namespace velkor::ui
