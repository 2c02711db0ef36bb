#pragma once

#include "ui/DialogControls.h"

#include <QPushButton>

#include <cstdint>
#include <string>

namespace velkor::ui {

// One pass of a dialog's data exchange: either from the members into the controls, or, when
// saving, from the controls back into the members. The dialog lists its bindings in order.
class DataExchange {
public:
    DataExchange(const DialogControls& controls, bool saveAndValidate)
        : controls_(controls), saveAndValidate_(saveAndValidate) {}

    // True when the controls are read into the members.
    bool SavesAndValidates() const { return saveAndValidate_; }

    // Binds a member to the control itself.
    void Control(int id, QPushButton*& member) const;
    // The text of an edit field or label.
    void Text(int id, std::u16string& member) const;
    // A check box's state: 1 checked, 0 clear.
    void Check(int id, std::int32_t& member) const;

private:
    const DialogControls& controls_;
    bool saveAndValidate_;
};

}  // namespace velkor::ui
