#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/DataManager.h"

namespace qubra {

// The tabs that bring the two settings pages to the front.
inline constexpr const char* kDataChannelTab = "tabTeplomer";
inline constexpr const char* kNetworkTab = "tabSit";

// A page or group box of the settings pages.
struct TSettingsContainer {
    std::string Name{};
    // The page holding a group box; empty for a page.
    std::string Parent{};
    // A group box's title; a page's bold heading.
    std::string Caption{};
    // The tab that shows a page; empty for a group box.
    std::string Tab{};
};

enum TSettingsControlKind {
    skSpinEdit,
    skEdit,
    skCheckBox,
    skComboBox,
    skLabel,
    // The address, netmask and gateway entry frame.
    skAddressFrame,
};

// One control of the settings pages as it is built, in the order of the pages.
struct TSettingsControl {
    std::string Name{};
    TSettingsControlKind Kind = skEdit;
    // The group box or page holding it.
    std::string Parent{};
    // The label beside it; a check box's own caption.
    std::string Label{};
    // The column heading above it (buffer clearing).
    std::string Heading{};
    // The unit label after it.
    std::string UnitLabel{};
    std::vector<std::string> Items{};
    // Spin edits, when the mapping lacks the field; else the field's limits.
    int MinValue = 0;
    int MaxValue = 0;
    // Edits; 0 for no limit.
    int MaxLength = 0;
    // Edits whose limit is the byte size of this field of the mapping in use.
    std::string LengthField{};
    // Edits that take a decimal number of their first field: as many digits as its largest
    // value has.
    bool Number = false;
    // Pixels; 0 for as wide as the box.
    int DropDownWidth = 0;
    std::string Hint{};
    // The label beside it carries the same hint.
    bool HintOnLabel = false;
    // The state before any record is shown.
    int StartIndex = -1;
    std::string StartText{};
    bool StartChecked = false;
    int StartValue = 0;
    bool StartEnabled = true;
    // The record fields it shows.
    std::vector<std::string> Fields{};
};

const std::vector<TSettingsContainer>& SettingsContainers();
const std::vector<TSettingsControl>& SettingsControls();
// The control of that name; raises when there is none.
const TSettingsControl& SettingsControl(const std::string& Name);
// The number of characters the edit takes with this mapping: the byte size of its LengthField,
// or the digits of its number field's largest value, when the mapping has that field, else
// MaxLength.
int MaxLengthOf(const TSettingsControl& Control, const TDataManager& DataManager);
// The limits of a spin edit with this mapping: its field's, so that every value the device
// holds shows unchanged; MinValue and MaxValue when the mapping lacks the field.
std::pair<int, int> RangeOf(const TSettingsControl& Control, const TDataManager& DataManager);
// The nearest int.
int ClampToInt(std::int64_t Value);
// The tab of the page showing the field ("record.field" or the bare name as the controls
// give it); empty when no control shows it.
std::string TabOfField(const std::string& Field);

} // namespace qubra
