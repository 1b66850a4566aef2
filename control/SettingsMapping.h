#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qubra {

// How a drop-down list shows one field: record values to list positions and back.
struct TListMapping {
    std::string Control{};
    std::string Field{};
    // Record value -> position; any other value gives OtherPosition, or leaves the list as it
    // is when there is none.
    std::vector<std::pair<std::int64_t, int>> ToPosition{};
    std::optional<int> OtherPosition{};
    // Position -> record value; any other position gives OtherValue, or leaves the field as it
    // is when there is none.
    std::vector<std::pair<int, std::int64_t>> ToValue{};
    std::optional<std::int64_t> OtherValue{};
    // The field is read and written as a boolean (1 stands for true).
    bool Boolean = false;

    std::optional<int> PositionOf(std::int64_t Value) const;
    std::optional<std::int64_t> ValueOf(int Position) const;
};

// Every drop-down list of the settings pages with its field.
const std::vector<TListMapping>& ListMappings();
// The mapping of that list; raises when there is none.
const TListMapping& ListMapping(const std::string& Control);

// The serial-line lists in the order they are copied.
inline constexpr std::array<const char*, 5> kSerialLineLists{"ComboBox1", "ComboBox2", "ComboBox3",
                                                             "ComboBox4", "ComboBox5"};
// The buffer-clearing lists of flush_mode_1 to flush_mode_6.
inline constexpr std::array<const char*, 6> kBufferClearingLists{"ComboBox16", "ComboBox11", "ComboBox12",
                                                                 "ComboBox13", "ComboBox14", "ComboBox15"};
// The position of "Modem mód" in the active-connection list.
inline constexpr int kModemModePosition = 5;

} // namespace qubra
