#include "control/SettingsBinding.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "control/AddressEntry.h"
#include "control/SettingsControls.h"
#include "i18n/Language.h"
#include "model/Conversions.h"
#include "model/Charset.h"
#include "model/TextValues.h"
#include "net/ARPManager.h"

namespace qubra {

namespace {

constexpr TRuleBinding kRuleBindings[] = {
    {"ComboBox8", ceUserChanged, srActiveConnection},
    {"ComboBox22", ceUserChanged, srPacking},
    {"CheckBox1", ceStateChanged, srDatagramMode},
    {"CheckBox2", ceStateChanged, srPortPassword},
    {"Edit1", ceUserChanged, srTimerText},
    {"Edit2", ceUserChanged, srTimerText},
    {"Edit1", ceFocusLost, srTimerLeave},
    {"Edit2", ceFocusLost, srTimerLeave},
    {"txtIP", ceUserChanged, srAddressCheck},
};

// The values of Directed_UDP and disconnect_config that mean UDP datagram mode.
constexpr std::int64_t kDirectedUDP = 12;
constexpr std::int64_t kDatagramDisconnect = 1;
// The third item a language file may add to the incoming-connection list: accept from the
// host list only.
constexpr int kHostListPosition = 2;

constexpr const char* kPackingControls[] = {"ComboBox23", "ComboBox24", "TEditN1", "TEditN2"};

std::string Trim(const std::string& Text)
{
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const auto first = std::ranges::find_if_not(Text, blank);
    const auto last = std::find_if_not(Text.rbegin(), std::make_reverse_iterator(first), blank).base();
    return std::string(first, last);
}

// A value the record refuses, with the field it was meant for, so that the page showing that
// field comes forward.
class EFieldRefused : public Exception {
public:
    EFieldRefused(std::string Field, const std::string& Message) : Exception(Message), Field(std::move(Field)) {}
    const std::string Field;
};

} // namespace

std::span<const TRuleBinding> RuleBindings()
{
    return kRuleBindings;
}

TSettingsBinding::TSettingsBinding(TSettingsPage& Page, TDataManager& DataManager, const std::uint32_t& DeviceIP)
    : FPage(Page), FDataManager(DataManager), FDeviceIP(DeviceIP)
{
}

// Reading ---------------------------------------------------------------------------------------

TItemValue TSettingsBinding::Read(const std::string& Field) const
{
    return FDataManager.GetValue(Field);
}

// A field the mapping lacks reads as null, which is no number.
std::int64_t TSettingsBinding::ReadNumber(const std::string& Field) const
{
    const TItemValue value = Read(Field);
    switch (value.Kind()) {
    case TItemValue::TKind::Integer: return value.Integer();
    case TItemValue::TKind::Boolean: return value.Boolean() ? 1 : 0;
    case TItemValue::TKind::Text: return StrToInt64(value.Text());
    case TItemValue::TKind::Null: break;
    }
    throw ItemNotFound(Field);
}

bool TSettingsBinding::ReadBoolean(const std::string& Field) const
{
    const TItemValue value = Read(Field);
    switch (value.Kind()) {
    case TItemValue::TKind::Integer: return value.Integer() != 0;
    case TItemValue::TKind::Boolean: return value.Boolean();
    case TItemValue::TKind::Text: return StrToBool(value.Text());
    case TItemValue::TKind::Null: break;
    }
    throw ItemNotFound(Field);
}

bool TSettingsBinding::FieldEquals(const std::string& Field, std::int64_t Value) const
{
    return !Read(Field).IsNull() && ReadNumber(Field) == Value;
}

std::string TSettingsBinding::ReadString(const std::string& Field) const
{
    return Cp1250ToUtf8(Read(Field).AsText());
}

void TSettingsBinding::WriteString(const std::string& Field, const std::string& Text)
{
    std::string bytes;
    try {
        bytes = Utf8ToCp1250(Text);
    } catch (const Exception&) {
        throw EFieldRefused(Field, GetText(msgTextObsahujeZn) + Field + ": " + Text);
    }
    FDataManager.SetValue(Field, bytes);
}

// A decimal number that the field holds whole; a text that is no number raises the conversion
// error, a number beyond the field's limits the invalid-values warning (the model would keep
// only its low bits).
void TSettingsBinding::WriteNumber(const std::string& Field, const std::string& Text)
{
    const std::int64_t number = StrToInt64(Text);
    const TDataItem& item = Item(Field);
    if (number < item.MinValue() || number > item.MaxValue())
        throw EFieldRefused(Field, GetText(msgHodnotyNejsouZ));
    FDataManager.SetValue(Field, number);
}

// An address as the windows read it; an empty edit is no address, 0.0.0.0.
void TSettingsBinding::WriteAddress(const std::string& Field, const std::string& Text)
{
    const std::optional<std::uint32_t> ip = Text.empty() ? std::optional<std::uint32_t>(0) : ReadTypedIP(Text);
    if (!ip) throw EFieldRefused(Field, GetText(msgHodnotyNejsouZ));
    FDataManager.SetValue(Field, static_cast<std::int64_t>(*ip));
}

TDataItem& TSettingsBinding::Item(const std::string& Field) const
{
    TDataItem* item = FDataManager.FindItem(Field);
    if (!item) throw ItemNotFound(Field);
    return *item;
}

void TSettingsBinding::ShowList(const std::string& Control)
{
    const TListMapping& mapping = ListMapping(Control);
    const std::int64_t value = mapping.Boolean ? ReadBoolean(mapping.Field) : ReadNumber(mapping.Field);
    if (const auto position = mapping.PositionOf(value)) FPage.SetItemIndex(Control, *position);
}

void TSettingsBinding::StoreList(const std::string& Control)
{
    const TListMapping& mapping = ListMapping(Control);
    const auto value = mapping.ValueOf(FPage.ItemIndex(Control));
    if (!value) return;
    FDataManager.SetValue(mapping.Field, mapping.Boolean ? TItemValue(*value != 0) : TItemValue(*value));
}

// A modem mode in the record selects "Modem mód" whatever the active connection says.
bool TSettingsBinding::ShowsModemMode() const
{
    const TListMapping& modem = ListMapping("ComboBox9");
    return !Read(modem.Field).IsNull() && modem.PositionOf(ReadNumber(modem.Field)).has_value();
}

// Transfers --------------------------------------------------------------------------------------

void TSettingsBinding::RecordToControls()
{
    ShowCurrentIP(0);
    FPage.SetText("Edit6", ReadString("telnet_password"));
    FPage.SetSpinValue("seSourcePort", ClampToInt(ReadNumber("unit_port")));
    FPage.SetSpinValue("SpinEdit1", ClampToInt(ReadNumber("remote_port")));
    FPage.SetText("Edit3", Read("remote_ip").AsText());
    for (const char* list : kSerialLineLists) ShowList(list);
    for (const char* list : kBufferClearingLists) ShowList(list);
    ShowList("ComboBox22");
    PackingRule();
    ShowList("ComboBox23");
    ShowList("ComboBox24");
    FPage.SetText("TEditN1", Item("chars_trigger_send").GetHex());
    FPage.SetText("TEditN2", Item("chars_trigger_send2").GetHex());

    if (FieldEquals("disconnect_config", kDatagramDisconnect)) {
        FPage.SetChecked("CheckBox1", true);
        DatagramModeRule();
    } else {
        FPage.SetChecked("CheckBox1", false);
        DatagramModeRule();
        if (FieldEquals("disconnect_config_term", 1)) {
            const std::string name = ReadString("terminal_name");
            FPage.SetText("Edit5", name);
            // An empty name leaves the box as it was.
            if (!name.empty()) FPage.SetChecked("CheckBox2", true);
        } else {
            FPage.SetText("Edit5", "");
            FPage.SetChecked("CheckBox2", false);
        }
        FPage.SetText("Edit1", std::to_string(ReadNumber("disconnect_timeout_min")));
        FPage.SetText("Edit2", std::to_string(ReadNumber("disconnect_timeout_sec")));
    }
    if (FieldEquals("Directed_UDP", kDirectedUDP)) {
        FPage.SetChecked("CheckBox1", true);
        DatagramModeRule();
    }

    ShowList("ComboBox6");
    ShowList("ComboBox7");
    ShowList("ComboBox8");
    if (ShowsModemMode()) FPage.SetItemIndex("ComboBox8", kModemModePosition);
    ActiveConnectionRule();
    if (FPage.ItemIndex("ComboBox8") == kModemModePosition) ShowList("ComboBox9");

    // No host bits give 255.255.255.255, which switches the frame to its automatic mask.
    const int hostBits = ClampToInt(ReadNumber("SetupRecord0.num_host_bits"));
    FPage.IPSet().SetValues(Read("SetupRecord0.unit_ip").AsText(),
                            IPToStr(TARPManager::HostBitsToMask(hostBits)),
                            Read("SetupRecord0.gateway_ip").AsText());
    ShowCurrentIP(FDeviceIP);
    FPage.ShowTab(kDataChannelTab);
    FPage.SetFocus("seSourcePort");
}

bool TSettingsBinding::ControlsToRecord()
{
    const char* stage = kDataChannelTab;
    try {
        StoreDataChannel();
        stage = kNetworkTab;
        StoreNetwork();
    } catch (const EFieldRefused& error) {
        const std::string tab = TabOfField(error.Field);
        FPage.ShowTab(tab.empty() ? stage : tab);
        throw;
    } catch (...) {
        FPage.ShowTab(stage);
        throw;
    }
    return true;
}

// The order matters: byte 32 holds the connection fields and modem mode, byte 33 the whole
// disconnect configuration and its bits, and each write keeps only its own bits.
void TSettingsBinding::StoreDataChannel()
{
    WriteString("telnet_password", FPage.Text("Edit6"));
    FDataManager.SetValue("unit_port", FPage.SpinValue("seSourcePort"));
    FDataManager.SetValue("remote_port", FPage.SpinValue("SpinEdit1"));
    WriteAddress("remote_ip", FPage.Text("Edit3"));
    for (const char* list : kSerialLineLists) StoreList(list);

    const bool datagrams = FPage.Checked("CheckBox1");
    if (!datagrams)
        for (const char* list : kBufferClearingLists) StoreList(list);
    StoreList("ComboBox22");
    PackingRule();
    StoreList("ComboBox23");
    StoreList("ComboBox24");
    Item("chars_trigger_send").SetHex(FPage.Text("TEditN1"));
    Item("chars_trigger_send2").SetHex(FPage.Text("TEditN2"));

    if (datagrams) {
        FDataManager.SetValue("disconnect_config", kDatagramDisconnect);
    } else {
        const bool password = FPage.Checked("CheckBox2");
        FDataManager.SetValue("disconnect_config_term", password ? 1 : 0);
        FDataManager.SetValue("disconnect_config_ledoff", 0);
        if (password) WriteString("terminal_name", FPage.Text("Edit5"));
        WriteNumber("disconnect_timeout_min", FPage.Text("Edit1"));
        WriteNumber("disconnect_timeout_sec", FPage.Text("Edit2"));
    }
    if (datagrams) FDataManager.SetValue("Directed_UDP", kDirectedUDP);

    StoreList("ComboBox6");
    if (!datagrams) {
        if (FPage.ItemIndex("ComboBox6") == kHostListPosition) {
            FDataManager.SetValue("Use_hostlist", 1);
            FDataManager.SetValue("connection_acceptance", 0);
        } else {
            FDataManager.SetValue("Use_hostlist", 0);
        }
        StoreList("ComboBox7");
        StoreList("ComboBox8");
        if (FPage.ItemIndex("ComboBox8") == kModemModePosition) StoreList("ComboBox9");
    }
    // The reserved second-channel block and the rest of the record go out as zeros.
    FDataManager.SetValue("channel_ii", 0);
    FDataManager.SetValue("zbytek", 0);
}

void TSettingsBinding::StoreNetwork()
{
    TAddressFrame& address = FPage.IPSet();
    const TDataItem* own = DeviceAddressField(FDataManager);
    if (!address.IsValid() || (own && !TakesDeviceAddress(*own, address.GetIP())))
        throw Exception(GetText(msgSitoveNastaveni));
    FDataManager.SetValue("SetupRecord0.unit_ip", static_cast<std::int64_t>(address.GetIP()));
    FDataManager.SetValue("SetupRecord0.gateway_ip", static_cast<std::int64_t>(address.GetGateway()));
    FDataManager.SetValue("SetupRecord0.num_host_bits", TARPManager::MaskToHostBits(address.GetMask()));
}

void TSettingsBinding::ShowCurrentIP(std::uint32_t IP)
{
    const std::string caption = FPage.Text("lblCurrentIP");
    const std::size_t colon = caption.find(':');
    const std::string prefix = colon == std::string::npos ? std::string() : caption.substr(0, colon + 1);
    const bool known = FDeviceIP != 0;
    FPage.SetText("lblCurrentIP", known ? prefix + " " + IPToStr(IP) : prefix);
    FPage.SetVisible("lblCurrentIP", known);
}

// Rules ------------------------------------------------------------------------------------------

void TSettingsBinding::ControlEvent(const std::string& Name, TControlEvent Event)
{
    for (const TRuleBinding& binding : RuleBindings())
        if (binding.Event == Event && Name == binding.Control) RunRule(binding.Rule, Name);
}

void TSettingsBinding::RunRule(TSettingsRule Rule, const std::string& Control)
{
    switch (Rule) {
    case srActiveConnection: ActiveConnectionRule(); break;
    case srPacking: PackingRule(); break;
    case srDatagramMode: DatagramModeRule(); break;
    case srPortPassword: PortPasswordRule(); break;
    case srTimerText: TimerTextRule(Control); break;
    case srTimerLeave: TimerLeaveRule(Control); break;
    case srAddressCheck: AddressCheckRule(); break;
    }
}

void TSettingsBinding::ActiveConnectionRule()
{
    if (FPage.ItemIndex("ComboBox8") == kModemModePosition) {
        FPage.SetEnabled("ComboBox9", true);
        FPage.SetItemIndex("ComboBox9", 0);
        FPage.SetItemIndex("ComboBox7", 0);
    } else {
        FPage.SetItemIndex("ComboBox9", -1);
        FPage.SetEnabled("ComboBox9", false);
    }
}

void TSettingsBinding::PackingRule()
{
    const bool packing = FPage.ItemIndex("ComboBox22") == 1;
    for (const char* control : kPackingControls) FPage.SetEnabled(control, packing);
}

void TSettingsBinding::DatagramModeRule()
{
    const bool datagrams = FPage.Checked("CheckBox1");
    FPage.SetEnabled("ComboBox7", !datagrams);
    FPage.SetEnabled("ComboBox8", !datagrams);
    if (!datagrams) SelectFirstIfNone("ComboBox7");
    SelectFirstIfNone("ComboBox8");
    ActiveConnectionRule();
    if (datagrams) FPage.SetEnabled("ComboBox9", false);
    for (const char* list : kBufferClearingLists) FPage.SetEnabled(list, !datagrams);
    FPage.SetEnabled("CheckBox2", !datagrams);
    if (datagrams)
        FPage.SetEnabled("Edit5", false);
    else
        PortPasswordRule();
    FPage.SetEnabled("Edit1", !datagrams);
    FPage.SetEnabled("Edit2", !datagrams);
}

void TSettingsBinding::SelectFirstIfNone(const std::string& List)
{
    if (FPage.ItemIndex(List) == -1) FPage.SetItemIndex(List, 0);
}

void TSettingsBinding::PortPasswordRule()
{
    FPage.SetEnabled("Edit5", FPage.Checked("CheckBox2"));
}

// What the field cannot hold beyond that is refused when the page is stored.
void TSettingsBinding::TimerTextRule(const std::string& Control)
{
    const std::string text = Trim(FPage.Text(Control));
    std::string result = text;
    if (!text.empty()) {
        const auto number = TryStrToInt64(text);
        result = number && *number > 0 ? std::to_string(*number) : "0";
    }
    // Setting the same text again would change nothing.
    if (result != FPage.Text(Control)) FPage.SetText(Control, result);
}

void TSettingsBinding::TimerLeaveRule(const std::string& Control)
{
    if (FPage.Text(Control).empty()) FPage.SetText(Control, "0");
}

void TSettingsBinding::AddressCheckRule()
{
    if (FPage.Text("txtIP").find("255") == std::string::npos) return;
    FPage.ShowErrorMessage(GetText(msgVIPAdreseNelz));
    FPage.SetText("txtIP", "");
}

} // namespace qubra
