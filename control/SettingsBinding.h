#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "control/SettingsMapping.h"
#include "control/SettingsPage.h"
#include "model/DataManager.h"

namespace qubra {

// The rules that enable, disable and correct dependent controls.
enum TSettingsRule {
    // Active connection: "Modem mód" enables the modem list and resets the response list.
    srActiveConnection,
    // Packing: "Povoleno" enables the idle time, trailing characters and the two characters.
    srPacking,
    // UDP datagram mode: disables what a datagram connection does not use.
    srDatagramMode,
    // Port password: the password edit is enabled while the box is ticked.
    srPortPassword,
    // Inactivity timer: the text becomes a plain decimal number, none below 0.
    srTimerText,
    // Inactivity timer: an empty edit becomes "0" when it loses the focus.
    srTimerLeave,
    // Device address: an address containing "255" is refused.
    srAddressCheck,
};

// Which event of which control runs a rule. The check boxes' rules run on every change of
// their state, so a transfer's tick runs them too; the others only on the user's changes, so
// a language file that replaces a list's items runs nothing.
struct TRuleBinding {
    const char* Control;
    TControlEvent Event;
    TSettingsRule Rule;
};

std::span<const TRuleBinding> RuleBindings();

// Copies the setup record into the controls of the two settings pages and back, and keeps the
// dependent controls consistent. The record is the one held by DataManager; the controls are
// the page's. DeviceIP is the device's current address as the main window holds it (0: none).
class TSettingsBinding {
public:
    TSettingsBinding(TSettingsPage& Page, TDataManager& DataManager, const std::uint32_t& DeviceIP);

    // Shows every field in its control, applies the rules, ends on the data-channel tab with the
    // focus in the local port. A field the mapping lacks raises when it is read as a number or
    // a boolean.
    void RecordToControls();
    // Writes every control into the record in a fixed order; later writes replace the shared
    // bits of earlier ones. A value its field cannot hold is refused, never cut to the field's
    // bits; a text the record's character set cannot write names its field. On an error the
    // tab of the page showing the failing field is brought to the front and the error passed
    // on; what was written before stays written.
    bool ControlsToRecord();
    // "<caption up to its first ':'> <IP>" while the main window knows the device's address;
    // otherwise the caption without address, hidden.
    void ShowCurrentIP(std::uint32_t IP);

    // The page's report of an event; runs the rules bound to it.
    void ControlEvent(const std::string& Name, TControlEvent Event);
    void RunRule(TSettingsRule Rule, const std::string& Control);

private:
    TItemValue Read(const std::string& Field) const;
    std::int64_t ReadNumber(const std::string& Field) const;
    bool ReadBoolean(const std::string& Field) const;
    // False for a field the mapping lacks.
    bool FieldEquals(const std::string& Field, std::int64_t Value) const;
    std::string ReadString(const std::string& Field) const;
    void WriteString(const std::string& Field, const std::string& Text);
    void WriteNumber(const std::string& Field, const std::string& Text);
    void WriteAddress(const std::string& Field, const std::string& Text);
    TDataItem& Item(const std::string& Field) const;

    void ShowList(const std::string& Control);
    void StoreList(const std::string& Control);
    bool ShowsModemMode() const;

    void StoreDataChannel();
    void StoreNetwork();

    void ActiveConnectionRule();
    void PackingRule();
    void DatagramModeRule();
    void SelectFirstIfNone(const std::string& List);
    void PortPasswordRule();
    void TimerTextRule(const std::string& Control);
    void TimerLeaveRule(const std::string& Control);
    void AddressCheckRule();

    TSettingsPage& FPage;
    TDataManager& FDataManager;
    const std::uint32_t& FDeviceIP;
};

} // namespace qubra
