#pragma once

#include <QObject>
#include <QTimer>

#include <map>

namespace velkor::ui {

// A window's timers by identifier. A timer fires every interval until it is killed; setting
// an identifier again restarts it with the new interval.
class TimerSet : public QObject {
    Q_OBJECT

public:
    explicit TimerSet(QObject* owner);

    void Set(int id, int intervalMs);
    void Kill(int id);

signals:
    void timeout(int id);

private:
    std::map<int, QTimer*> timers_;
};

}  // namespace velkor::ui
