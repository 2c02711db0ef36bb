#include "ui/TimerSet.h"

namespace velkor::ui {

TimerSet::TimerSet(QObject* owner) : QObject(owner) {}

void TimerSet::Set(int id, int intervalMs) {
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("timer 0x%1").arg(id, 0, 16));
        connect(timer, &QTimer::timeout, this, [this, id] { emit timeout(id); });
    }
    timer->start(intervalMs);
}

void TimerSet::Kill(int id) {
    if (const auto found = timers_.find(id); found != timers_.end()) {
        found->second->stop();
    }
}

}  // namespace velkor::ui
