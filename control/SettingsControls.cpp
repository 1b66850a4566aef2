#include "control/SettingsControls.h"

#include <algorithm>
#include <limits>

#include "model/Exception.h"

namespace qubra {

namespace {

const char* const kNotForUDP = "Neplatné pro UDP mód";
const char* const kHexHint = "Zadejte hodnotu znaku v HEXa  [např. 0A]";

const std::vector<std::string> kOffOn{"Zakázáno", "Povoleno"};

// One of the six buffer-clearing lists.
TSettingsControl BufferClearingList(std::string Name, std::string Heading, std::string Label,
                                    std::string Field)
{
    return {.Name = std::move(Name), .Kind = skComboBox, .Parent = "GroupBox2", .Label = std::move(Label),
            .Heading = std::move(Heading), .Items = kOffOn, .Hint = kNotForUDP, .HintOnLabel = true,
            .StartIndex = 0, .Fields = {std::move(Field)}};
}

std::vector<TSettingsControl> BuildControls()
{
    return {
        // Ethernet
        {.Name = "seSourcePort", .Kind = skSpinEdit, .Parent = "GroupBox6", .Label = "Lokální port",
         .MinValue = 1, .MaxValue = 65535, .StartValue = 10001, .Fields = {"unit_port"}},
        {.Name = "SpinEdit1", .Kind = skSpinEdit, .Parent = "GroupBox6", .Label = "Vzdálený port",
         .MinValue = 0, .MaxValue = 65535, .StartValue = 0, .Fields = {"remote_port"}},
        {.Name = "Edit3", .Kind = skEdit, .Parent = "GroupBox6", .Label = "Vzdálená IP adresa",
         .MaxLength = 15, .Fields = {"remote_ip"}},
        {.Name = "CheckBox1", .Kind = skCheckBox, .Parent = "GroupBox6", .Label = "UDP datagram mód",
         .Fields = {"disconnect_config", "Directed_UDP"}},
        {.Name = "ComboBox6", .Kind = skComboBox, .Parent = "GroupBox6", .Label = "Příchozí spojení",
         .Items = {"Povoleno", "Zakázáno"}, .StartIndex = 0,
         .Fields = {"connection_acceptance", "Use_hostlist"}},
        {.Name = "ComboBox8", .Kind = skComboBox, .Parent = "GroupBox6", .Label = "Aktivní navázání spojení",
         .Items = {"Zakázáno", "Naváže spojení po příchodu jakéhokoliv znaku",
                   "Naváže spojení pouze po příchodu CR znaku", "Manuální nastavení (C + adresa)",
                   "Naváže spojení po připojeni (AutoStart)", "Modem mód"},
         .DropDownWidth = 260, .Hint = kNotForUDP, .HintOnLabel = true, .StartIndex = 0,
         .Fields = {"active_connection_startup", "modem_mode"}},
        {.Name = "ComboBox9", .Kind = skComboBox, .Parent = "GroupBox6",
         .Label = "Činnost modulu při volbě Modem mód",
         .Items = {"Bez echa", "S echem", "Číselné vyjádření odpovědí modemu"}, .Hint = kNotForUDP,
         .HintOnLabel = true, .StartIndex = -1, .StartEnabled = false, .Fields = {"modem_mode"}},
        {.Name = "CheckBox2", .Kind = skCheckBox, .Parent = "GroupBox6", .Label = "Heslo portu",
         .Hint = kNotForUDP, .Fields = {"disconnect_config_term"}},
        {.Name = "Edit5", .Kind = skEdit, .Parent = "GroupBox6", .MaxLength = 15, .LengthField = "terminal_name",
         .Hint = kNotForUDP, .StartEnabled = false, .Fields = {"terminal_name"}},
        {.Name = "Edit1", .Kind = skEdit, .Parent = "GroupBox6", .Label = "Časovač nečinnosti",
         .UnitLabel = "min", .MaxLength = 2, .Number = true, .StartText = "0", .Fields = {"disconnect_timeout_min"}},
        {.Name = "Edit2", .Kind = skEdit, .Parent = "GroupBox6", .UnitLabel = "s", .MaxLength = 2,
         .Number = true, .StartText = "0", .Fields = {"disconnect_timeout_sec"}},
        // Serial line
        {.Name = "ComboBox4", .Kind = skComboBox, .Parent = "GroupBox5", .Label = "Rychlost linky",
         .Items = {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400"},
         .StartIndex = 5, .Fields = {"line_speed"}},
        {.Name = "ComboBox1", .Kind = skComboBox, .Parent = "GroupBox5", .Label = "Šířka slova",
         .Items = {"8 bitů", "7 bitů"}, .StartIndex = 0, .Fields = {"line_interface_mode_bits"}},
        {.Name = "ComboBox2", .Kind = skComboBox, .Parent = "GroupBox5", .Label = "Parita",
         .Items = {"Žádná", "Sudá", "Lichá"}, .StartIndex = 0, .Fields = {"line_interface_mode_parity"}},
        {.Name = "ComboBox3", .Kind = skComboBox, .Parent = "GroupBox5", .Label = "Stop bit",
         .Items = {"1", "2"}, .StartIndex = 0, .Fields = {"line_interface_mode_stopbits"}},
        {.Name = "ComboBox5", .Kind = skComboBox, .Parent = "GroupBox5", .Label = "Řízení toku dat",
         .Items = {"Žádný", "XON/XOFF", "RTS/CTS"}, .StartIndex = 0, .Fields = {"flow_control"}},
        {.Name = "ComboBox7", .Kind = skComboBox, .Parent = "GroupBox5", .Label = "Odezva",
         .Items = {"Žádná odpověď", R"(Znaková odezvaí ("C"-připojeno/"D"-odpojeno/"N"-nedostupný))"},
         .StartIndex = 0, .Fields = {"response_on_serial_to_connect"}},
        // Packet forming
        {.Name = "ComboBox22", .Kind = skComboBox, .Parent = "GroupBox4", .Label = "Paketování",
         .Items = kOffOn, .StartIndex = 0, .Fields = {"flush_mode_7"}},
        {.Name = "ComboBox23", .Kind = skComboBox, .Parent = "GroupBox4", .Label = "Doba klidu",
         .Items = {"12 ms", "52 ms", "250 ms", "5000 ms"}, .StartIndex = 0, .StartEnabled = false,
         .Fields = {"pack_ctrl_byte_mode"}},
        {.Name = "ComboBox24", .Kind = skComboBox, .Parent = "GroupBox4", .Label = "Ukončovací znaky",
         .Items = {"Žádný", "Jeden", "Dva"}, .StartIndex = 0, .StartEnabled = false,
         .Fields = {"trailing_char_mode"}},
        {.Name = "TEditN1", .Kind = skEdit, .Parent = "GroupBox4", .Label = "Znak 01", .MaxLength = 2,
         .Hint = kHexHint, .StartEnabled = false, .Fields = {"chars_trigger_send"}},
        {.Name = "TEditN2", .Kind = skEdit, .Parent = "GroupBox4", .Label = "Znak 02", .MaxLength = 2,
         .Hint = kHexHint, .StartEnabled = false, .Fields = {"chars_trigger_send2"}},
        // Buffer clearing
        BufferClearingList("ComboBox16", "Vstupní", "Je-li navázáno aktivní spojení", "flush_mode_1"),
        BufferClearingList("ComboBox11", "Vstupní", "Je-li navázáno pasivní spojení", "flush_mode_2"),
        BufferClearingList("ComboBox12", "Vstupní", "Dojde-li k přerušení spojení", "flush_mode_3"),
        BufferClearingList("ComboBox13", "Výstupní", "Je-li navázáno aktivní spojení", "flush_mode_4"),
        BufferClearingList("ComboBox14", "Výstupní", "Je-li navázáno pasivní spojení", "flush_mode_5"),
        BufferClearingList("ComboBox15", "Výstupní", "Dojde-li k přerušení spojení", "flush_mode_6"),
        // Network page
        {.Name = "IPSet", .Kind = skAddressFrame, .Parent = "pnlNastNet",
         .Fields = {"SetupRecord0.unit_ip", "SetupRecord0.num_host_bits", "SetupRecord0.gateway_ip"}},
        {.Name = "Edit6", .Kind = skEdit, .Parent = "pnlNastNet", .Label = "Heslo Telnetu", .MaxLength = 4,
         .Hint = "Maximálně 4 znaky", .Fields = {"telnet_password"}},
        {.Name = "lblCurrentIP", .Kind = skLabel, .Parent = "pnlNastNet", .StartText = "Současná IP adresa : "},
    };
}

} // namespace

const std::vector<TSettingsContainer>& SettingsContainers()
{
    static const std::vector<TSettingsContainer> containers{
        {.Name = "pnlNastTepl", .Tab = kDataChannelTab},
        {.Name = "GroupBox6", .Parent = "pnlNastTepl", .Caption = "Nastavení Ethernetu"},
        {.Name = "GroupBox5", .Parent = "pnlNastTepl", .Caption = "Nastavení sériové linky"},
        {.Name = "GroupBox4", .Parent = "pnlNastTepl", .Caption = "Tvorba paketů ze sériové linky"},
        {.Name = "GroupBox2", .Parent = "pnlNastTepl", .Caption = "Mazání vyrovnávací paměti"},
        {.Name = "pnlNastNet", .Caption = "Siťové nastavení zařízení", .Tab = kNetworkTab},
    };
    return containers;
}

const std::vector<TSettingsControl>& SettingsControls()
{
    static const std::vector<TSettingsControl> controls = BuildControls();
    return controls;
}

const TSettingsControl& SettingsControl(const std::string& Name)
{
    const std::vector<TSettingsControl>& controls = SettingsControls();
    const auto found = std::ranges::find(controls, Name, &TSettingsControl::Name);
    if (found == controls.end()) throw Exception("No settings control " + Name);
    return *found;
}

namespace {

const TDataItem* FirstField(const TSettingsControl& Control, const TDataManager& DataManager)
{
    return Control.Fields.empty() ? nullptr : DataManager.FindItem(Control.Fields.front());
}

} // namespace

int ClampToInt(std::int64_t Value)
{
    return static_cast<int>(std::clamp<std::int64_t>(Value, std::numeric_limits<int>::min(),
                                                      std::numeric_limits<int>::max()));
}

int MaxLengthOf(const TSettingsControl& Control, const TDataManager& DataManager)
{
    if (const TDataItem* number = Control.Number ? FirstField(Control, DataManager) : nullptr)
        return static_cast<int>(std::to_string(number->MaxValue()).size());
    const TDataItem* field = Control.LengthField.empty() ? nullptr : DataManager.FindItem(Control.LengthField);
    return field ? field->ByteSize() : Control.MaxLength;
}

std::pair<int, int> RangeOf(const TSettingsControl& Control, const TDataManager& DataManager)
{
    if (const TDataItem* field = FirstField(Control, DataManager))
        return {ClampToInt(field->MinValue()), ClampToInt(field->MaxValue())};
    return {Control.MinValue, Control.MaxValue};
}

std::string TabOfField(const std::string& Field)
{
    for (const TSettingsControl& control : SettingsControls()) {
        if (std::ranges::find(control.Fields, Field) == control.Fields.end())
            continue;
        std::string container = control.Parent;
        for (;;) {
            const auto& containers = SettingsContainers();
            const auto found = std::ranges::find(containers, container, &TSettingsContainer::Name);
            if (found == containers.end()) return {};
            if (found->Parent.empty()) return found->Tab;
            container = found->Parent;
        }
    }
    return {};
}

} // namespace qubra
