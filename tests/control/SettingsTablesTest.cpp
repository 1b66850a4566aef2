// The control table and the list mappings against each other and against the built-in mapping.
#include <gtest/gtest.h>

#include <algorithm>

#include "control/SettingsControls.h"
#include "control/SettingsMapping.h"
#include "tests/model/ModelTestSupport.h"

using namespace qubra;

namespace {

TEST(SettingsTables, EveryNamedFieldExistsInTheBuiltInMapping)
{
    const std::unique_ptr<TDataManager> manager = test::BuiltInMapping();
    for (const TSettingsControl& control : SettingsControls())
        for (const std::string& field : control.Fields)
            EXPECT_NE(manager->FindItem(field), nullptr) << control.Name << " shows " << field;
    for (const TListMapping& mapping : ListMappings())
        EXPECT_NE(manager->FindItem(mapping.Field), nullptr) << mapping.Control;
}

TEST(SettingsTables, EveryMappedListShowsItsFieldWithinItsItems)
{
    for (const TListMapping& mapping : ListMappings()) {
        SCOPED_TRACE(mapping.Control);
        const TSettingsControl& control = SettingsControl(mapping.Control);
        ASSERT_EQ(control.Kind, skComboBox);
        EXPECT_NE(std::ranges::find(control.Fields, mapping.Field), control.Fields.end());
        const int count = static_cast<int>(control.Items.size());
        for (const auto& [value, position] : mapping.ToPosition)
            if (mapping.Control != "ComboBox4" || value < 11) {
                EXPECT_LT(position, count) << value;
            }
        for (const auto& [position, value] : mapping.ToValue) EXPECT_LT(position, count) << value;
        EXPECT_LT(control.StartIndex, count);
    }
}

// The mapping document names every speed code by its rate; the list must show that rate.
TEST(SettingsTables, SpeedListAgreesWithTheNamesOfTheSpeedCodes)
{
    const std::unique_ptr<TDataManager> manager = test::BuiltInMapping();
    const TDataItem& speed = *manager->FindItem("line_speed");
    const TListMapping& mapping = ListMapping("ComboBox4");
    const std::vector<std::string>& items = SettingsControl("ComboBox4").Items;
    ASSERT_EQ(speed.EnumItemCount(), 13);
    for (int i = 0; i < speed.EnumItemCount(); ++i) {
        const TDEnumItem& entry = *speed.GetEnumItem(i);
        const auto position = mapping.PositionOf(entry.Value);
        ASSERT_TRUE(position) << entry.Name;
        if (*position < static_cast<int>(items.size())) {
            EXPECT_EQ(items[*position], entry.Name);
            EXPECT_EQ(mapping.ValueOf(*position), entry.Value);
        } else {
            EXPECT_FALSE(mapping.ValueOf(*position)) << entry.Name << " is shown but not written back";
        }
    }
    EXPECT_FALSE(mapping.PositionOf(13));
}

TEST(SettingsTables, TextsOfTheDesign)
{
    EXPECT_EQ(SettingsControl("ComboBox7").Items.at(1),
              "Znakov\xC3\xA1 odezva\xC3\xAD (\"C\"-p\xC5\x99ipojeno/\"D\"-odpojeno/\"N\"-nedostupn\xC3\xBD)");
    EXPECT_EQ(SettingsControl("TEditN2").Hint, "Zadejte hodnotu znaku v HEXa  [např. 0A]");
    std::vector<std::string> udpHint;
    for (const TSettingsControl& control : SettingsControls())
        if (control.Hint == "Neplatné pro UDP mód") udpHint.push_back(control.Name + (control.HintOnLabel ? "+label" : ""));
    EXPECT_EQ(udpHint, (std::vector<std::string>{"ComboBox8+label", "ComboBox9+label", "CheckBox2", "Edit5",
                                                 "ComboBox16+label", "ComboBox11+label", "ComboBox12+label",
                                                 "ComboBox13+label", "ComboBox14+label", "ComboBox15+label"}));
    EXPECT_EQ(SettingsControl("ComboBox8").DropDownWidth, 260);
}

TEST(SettingsTables, PortPasswordLengthFollowsTheMapping)
{
    const TSettingsControl& edit5 = SettingsControl("Edit5");
    EXPECT_EQ(MaxLengthOf(edit5, *test::BuiltInMapping()), 15);
    const auto shortName = test::MappingOf(
        R"(<datapacket name="S" size="20"><dataitem name="terminal_name" type="string" position="2" size="8"/></datapacket>)");
    EXPECT_EQ(MaxLengthOf(edit5, *shortName), 8);
    EXPECT_EQ(MaxLengthOf(edit5, *test::MappingOf(R"(<datapacket name="S" size="20"/>)")), 15);
    EXPECT_EQ(MaxLengthOf(SettingsControl("Edit6"), *shortName), 4);
}

} // namespace
