#pragma once

#include <cstdint>
#include <string>

namespace qubra {

// What happened to a control, as the settings page reports it.
enum TControlEvent {
    // Its selection, check state or text changed, whoever changed it.
    ceStateChanged,
    // The user changed it (besides ceStateChanged).
    ceUserChanged,
    // An edit lost the focus.
    ceFocusLost,
};

// The address, netmask and gateway entry frame as the settings transfer uses it.
class TAddressFrame {
public:
    virtual ~TAddressFrame() = default;
    // Fills the three edits; a mask that is no address (255.255.255.255 included) switches the
    // automatic mask on.
    virtual void SetValues(const std::string& IPText, const std::string& MaskText,
                           const std::string& GatewayText) = 0;
    virtual bool IsValid() const = 0;
    // IPv4 values, first octet in the low byte; an empty or automatic mask and an empty gateway
    // give 0.
    virtual std::uint32_t GetIP() const = 0;
    virtual std::uint32_t GetMask() const = 0;
    virtual std::uint32_t GetGateway() const = 0;
};

// The two settings pages as the settings binding sees them: every control addressed by its
// name. The widgets hold the only state; the binding reads and sets it through this.
//
// The implementation reports every TControlEvent to TSettingsBinding::ControlEvent as it
// happens, changes made through this interface included (ceStateChanged only). Replacing a
// list's items (a language file) is no user change.
class TSettingsPage {
public:
    virtual ~TSettingsPage() = default;

    // Drop-down lists: the selected position, -1 for none. A position outside the list selects
    // none.
    virtual int ItemIndex(const std::string& Name) const = 0;
    virtual void SetItemIndex(const std::string& Name, int Index) = 0;
    // Check boxes.
    virtual bool Checked(const std::string& Name) const = 0;
    virtual void SetChecked(const std::string& Name, bool Checked) = 0;
    // Edits (their text) and labels (their caption), in UTF-8.
    virtual std::string Text(const std::string& Name) const = 0;
    virtual void SetText(const std::string& Name, const std::string& Text) = 0;
    // Spin edits: setting a value outside the limits sets the nearest limit.
    virtual int SpinValue(const std::string& Name) const = 0;
    virtual void SetSpinValue(const std::string& Name, int Value) = 0;

    virtual void SetEnabled(const std::string& Name, bool Enabled) = 0;
    virtual void SetVisible(const std::string& Name, bool Visible) = 0;
    virtual void SetFocus(const std::string& Name) = 0;

    // The address frame `IPSet`; its address edit is also reachable as the control "txtIP".
    virtual TAddressFrame& IPSet() = 0;
    // The main window's tab handler: selects the tab and shows its page.
    virtual void ShowTab(const std::string& TabName) = 0;
    // An error dialog with an OK button.
    virtual void ShowErrorMessage(const std::string& Text) = 0;
};

} // namespace qubra
