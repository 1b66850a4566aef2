#pragma once

#include <string>
#include <vector>

namespace qubra {

// The list of a combo box as the translation walk sees it.
class TComboItems {
public:
    virtual ~TComboItems() = default;
    // The selected entry, -1 for none.
    virtual int ItemIndex() const = 0;
    virtual void SetItemIndex(int index) = 0;
    // Replaces the whole list; the selection is set afterwards by the caller.
    virtual void SetItems(const std::vector<std::string>& items) = 0;
};

// A window or control as the translation walk sees it. The widget toolkit adapts its own tree
// to this; a control's name is its address in the language files.
class TControl {
public:
    virtual ~TControl() = default;
    virtual std::string Name() const = 0;
    // Whether the control can hold child controls (a window, a panel, a group box).
    virtual bool CanHoldChildren() const = 0;
    // The controls whose parent this control is, in no particular order.
    virtual std::vector<TControl*> Children() const = 0;
    // The control's list when it is a combo box; nullptr otherwise.
    virtual TComboItems* ComboItems() = 0;
    // The names of the properties a language file may set, for example "Caption" and "Hint".
    virtual std::vector<std::string> PropertyNames() const = 0;
    // Sets the property of exactly that name (one of PropertyNames()) from its text.
    virtual void SetPropertyText(const std::string& name, const std::string& value) = 0;
};

} // namespace qubra
