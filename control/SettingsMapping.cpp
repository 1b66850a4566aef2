#include "control/SettingsMapping.h"

#include <algorithm>

#include "model/Exception.h"

namespace qubra {

namespace {

using TPairs = std::vector<std::pair<std::int64_t, int>>;

// A list whose two directions are each other's inverse; other values and positions leave the
// list and the field as they are.
TListMapping Inverse(std::string Control, std::string Field, const TPairs& Pairs)
{
    TListMapping mapping{.Control = std::move(Control), .Field = std::move(Field), .ToPosition = Pairs};
    for (const auto& [value, position] : Pairs) mapping.ToValue.emplace_back(position, value);
    return mapping;
}

TPairs Identity(int Count)
{
    TPairs pairs;
    for (int i = 0; i < Count; ++i) pairs.emplace_back(i, i);
    return pairs;
}

// "Zakázáno", "Povoleno" for a boolean field.
TListMapping OffOn(std::string Control, std::string Field)
{
    return {.Control = std::move(Control), .Field = std::move(Field), .ToPosition = {{1, 1}}, .OtherPosition = 0,
            .ToValue = {{1, 1}}, .OtherValue = 0, .Boolean = true};
}

std::vector<TListMapping> BuildMappings()
{
    // Codes 11 and 12 are shown at positions that only a language file's list can hold, and are
    // not written back.
    TListMapping speed = Inverse("ComboBox4", "line_speed",
                                 {{7, 0}, {6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}, {1, 6}, {0, 7}, {9, 8},
                                  {8, 9}, {10, 10}});
    speed.ToPosition.insert(speed.ToPosition.end(), {{11, 11}, {12, 12}});

    return {
        {.Control = "ComboBox1", .Field = "line_interface_mode_bits", .ToPosition = {{2, 1}}, .OtherPosition = 0,
         .ToValue = {{1, 2}}, .OtherValue = 3},
        Inverse("ComboBox2", "line_interface_mode_parity", {{0, 0}, {3, 1}, {1, 2}}),
        {.Control = "ComboBox3", .Field = "line_interface_mode_stopbits", .ToPosition = {{3, 1}},
         .OtherPosition = 0, .ToValue = {{1, 3}}, .OtherValue = 1},
        speed,
        Inverse("ComboBox5", "flow_control", Identity(3)),
        OffOn("ComboBox16", "flush_mode_1"),
        OffOn("ComboBox11", "flush_mode_2"),
        OffOn("ComboBox12", "flush_mode_3"),
        OffOn("ComboBox13", "flush_mode_4"),
        OffOn("ComboBox14", "flush_mode_5"),
        OffOn("ComboBox15", "flush_mode_6"),
        OffOn("ComboBox22", "flush_mode_7"),
        Inverse("ComboBox23", "pack_ctrl_byte_mode", Identity(4)),
        Inverse("ComboBox24", "trailing_char_mode", Identity(3)),
        Inverse("ComboBox6", "connection_acceptance", {{3, 0}, {0, 1}}),
        {.Control = "ComboBox7", .Field = "response_on_serial_to_connect", .ToPosition = {{0, 0}},
         .OtherPosition = 1, .ToValue = {{0, 0}}, .OtherValue = 1},
        Inverse("ComboBox8", "active_connection_startup", {{0, 0}, {1, 1}, {3, 2}, {4, 3}, {5, 4}}),
        Inverse("ComboBox9", "modem_mode", {{6, 0}, {22, 1}, {23, 2}}),
    };
}

} // namespace

std::optional<int> TListMapping::PositionOf(std::int64_t Value) const
{
    const auto found = std::ranges::find(ToPosition, Value, &std::pair<std::int64_t, int>::first);
    return found != ToPosition.end() ? std::optional<int>(found->second) : OtherPosition;
}

std::optional<std::int64_t> TListMapping::ValueOf(int Position) const
{
    const auto found = std::ranges::find(ToValue, Position, &std::pair<int, std::int64_t>::first);
    return found != ToValue.end() ? std::optional<std::int64_t>(found->second) : OtherValue;
}

const std::vector<TListMapping>& ListMappings()
{
    static const std::vector<TListMapping> mappings = BuildMappings();
    return mappings;
}

const TListMapping& ListMapping(const std::string& Control)
{
    const std::vector<TListMapping>& mappings = ListMappings();
    const auto found = std::ranges::find(mappings, Control, &TListMapping::Control);
    if (found == mappings.end()) throw Exception("No list mapping for " + Control);
    return *found;
}

} // namespace qubra
