#pragma once

#include <QObject>

#include <cstdint>

namespace velkor::ui {

// Modifier bits of a hot key registration.
inline constexpr unsigned kModAlt = 0x1;
inline constexpr unsigned kModControl = 0x2;
inline constexpr unsigned kModShift = 0x4;

// A hot key registered for a window: the function key pressed anywhere in the program, with
// exactly the registered modifiers, is taken from the focused control and delivered as
// hotKey(id, (virtualKey << 16) | modifiers).
class HotKey : public QObject {
    Q_OBJECT

public:
    explicit HotKey(QObject* owner);
    ~HotKey() override;

    // Function keys only (virtual keys 0x70 to 0x87, F1 to F24); false for any other key.
    bool Register(int id, unsigned modifiers, unsigned virtualKey);

signals:
    void hotKey(std::uintptr_t id, std::intptr_t keyAndModifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool registered_ = false;
    int id_ = 0;
    unsigned modifiers_ = 0;
    unsigned virtualKey_ = 0;
};

}  // namespace velkor::ui
