// The dependent-control rules: which run on every change of a control and which only on the
// user's, and what each does to the other controls.
#include <gtest/gtest.h>

#include "control/SettingsBinding.h"
#include "model/Conversions.h"
#include "tests/control/SettingsPageFake.h"
#include "tests/model/ModelTestSupport.h"

using namespace qubra;
using qubra::test::TFakePage;

namespace {

class SettingsRules : public ::testing::Test {
protected:
    std::unique_ptr<TDataManager> Manager = test::BuiltInMapping();
    std::uint32_t DeviceIP = 0;
    TFakePage Page;
    TSettingsBinding Binding{Page, *Manager, DeviceIP};

    void SetUp() override { Page.Binding = &Binding; }
    bool Enabled(const char* Name) { return Page.At(Name).Enabled; }
};

TEST_F(SettingsRules, ActiveConnectionRunsOnlyOnTheUsersChoice)
{
    Page.SetItemIndex("ComboBox7", 1);
    Page.UserSelect("ComboBox8", 5);
    EXPECT_TRUE(Enabled("ComboBox9"));
    EXPECT_EQ(Page.ItemIndex("ComboBox9"), 0);
    EXPECT_EQ(Page.ItemIndex("ComboBox7"), 0);

    Page.UserSelect("ComboBox9", 1);
    Page.ReplaceItems("ComboBox8", 6);  // a language file, selection kept
    Page.ReplaceItems("ComboBox8", 4);  // a language file, selection lost
    EXPECT_EQ(Page.ItemIndex("ComboBox8"), -1);
    EXPECT_TRUE(Enabled("ComboBox9"));
    EXPECT_EQ(Page.ItemIndex("ComboBox9"), 1);

    Page.ReplaceItems("ComboBox8", 6);
    Page.UserSelect("ComboBox8", 2);
    EXPECT_FALSE(Enabled("ComboBox9"));
    EXPECT_EQ(Page.ItemIndex("ComboBox9"), -1);

    Page.SetItemIndex("ComboBox8", 5);
    EXPECT_FALSE(Enabled("ComboBox9"));
    EXPECT_EQ(Page.ItemIndex("ComboBox9"), -1);
}

TEST_F(SettingsRules, PackingRunsOnlyOnTheUsersChoice)
{
    const char* const packing[] = {"ComboBox23", "ComboBox24", "TEditN1", "TEditN2"};
    Page.SetItemIndex("ComboBox22", 1);
    Page.ReplaceItems("ComboBox22", 2);
    for (const char* control : packing) EXPECT_FALSE(Enabled(control)) << control;

    Page.UserSelect("ComboBox22", 1);
    for (const char* control : packing) EXPECT_TRUE(Enabled(control)) << control;
    Page.UserSelect("ComboBox22", 0);
    for (const char* control : packing) EXPECT_FALSE(Enabled(control)) << control;
}

TEST_F(SettingsRules, DatagramModeRunsOnEveryChangeOfItsBox)
{
    const char* const unused[] = {"ComboBox7", "ComboBox8", "ComboBox9", "ComboBox16", "ComboBox11",
                                  "ComboBox12", "ComboBox13", "ComboBox14", "ComboBox15", "CheckBox2",
                                  "Edit5", "Edit1", "Edit2"};
    Page.SetItemIndex("ComboBox7", -1);
    Page.SetItemIndex("ComboBox8", -1);
    Page.UserSelect("ComboBox22", 1);

    Page.SetChecked("CheckBox1", true);  // a transfer ticks it
    for (const char* control : unused) EXPECT_FALSE(Enabled(control)) << control;
    EXPECT_EQ(Page.ItemIndex("ComboBox8"), 0);
    EXPECT_EQ(Page.ItemIndex("ComboBox7"), -1);
    EXPECT_TRUE(Enabled("ComboBox6"));
    EXPECT_TRUE(Enabled("ComboBox23"));

    Page.SetChecked("CheckBox2", true);
    Page.UserClick("CheckBox1");  // the user clears it
    for (const char* control : unused) {
        if (std::string(control) != "ComboBox9") {
            EXPECT_TRUE(Enabled(control)) << control;
        }
    }
    EXPECT_FALSE(Enabled("ComboBox9"));
    EXPECT_EQ(Page.ItemIndex("ComboBox7"), 0);
    EXPECT_TRUE(Enabled("ComboBox23"));

    // With "Modem mód" the modem list gets its first mode, and stays disabled in datagram mode.
    Page.UserSelect("ComboBox8", 5);
    Page.UserClick("CheckBox2");
    Page.UserClick("CheckBox1");
    EXPECT_EQ(Page.ItemIndex("ComboBox9"), 0);
    EXPECT_FALSE(Enabled("ComboBox9"));
    Page.UserClick("CheckBox1");
    EXPECT_TRUE(Enabled("ComboBox9"));
    EXPECT_FALSE(Enabled("Edit5")) << "the port password box is not ticked";
}

TEST_F(SettingsRules, PortPasswordFollowsItsBoxWhoeverTicksIt)
{
    Page.SetChecked("CheckBox2", true);
    EXPECT_TRUE(Enabled("Edit5"));
    Page.UserClick("CheckBox2");
    EXPECT_FALSE(Enabled("Edit5"));
}

TEST_F(SettingsRules, InactivityTimerAsTyped)
{
    const std::pair<const char*, const char*> typed[] = {
        {"05", "5"}, {"-3", "0"}, {"x", "0"}, {" 7 ", "7"}, {"+4", "4"}, {"99", "99"}, {"-0", "0"}, {"1x", "0"},
    };
    for (const char* edit : {"Edit1", "Edit2"})
        for (const auto& [text, shown] : typed) {
            Page.UserType(edit, text);
            EXPECT_EQ(Page.Text(edit), shown) << edit << " typed " << text;
        }

    Page.UserType("Edit1", "");
    EXPECT_EQ(Page.Text("Edit1"), "") << "a cleared edit waits until it is left";
    Page.UserLeave("Edit1");
    EXPECT_EQ(Page.Text("Edit1"), "0");
    Page.UserType("Edit2", "  ");
    Page.UserLeave("Edit2");
    EXPECT_EQ(Page.Text("Edit2"), "0");

    // A transfer's text is left as it is, also three digits from the record.
    Page.SetText("Edit1", "x");
    EXPECT_EQ(Page.Text("Edit1"), "x");
    Page.SetText("Edit1", "200");
    Page.UserLeave("Edit1");
    EXPECT_EQ(Page.Text("Edit1"), "200");
}

TEST_F(SettingsRules, AddressWith255IsRefusedAsTyped)
{
    const std::string refused = "error:V IP adrese nelze použít hodnotu 255";
    for (const char* text : {"192.168.1.255", "10.2551.0.1", "255"}) {
        Page.Log.clear();
        Page.UserType("txtIP", text);
        EXPECT_EQ(Page.Log, std::vector<std::string>{refused}) << text;
        EXPECT_EQ(Page.Text("txtIP"), "") << text;
    }

    Page.Log.clear();
    Page.UserType("txtIP", "192.168.25.5");
    Page.UserType("txtMask", "255.255.255.0");
    EXPECT_TRUE(Page.Log.empty());
    Page.IPSet().SetValues("192.168.1.255", "255.255.255.0", "0.0.0.0");
    EXPECT_TRUE(Page.Log.empty());
    EXPECT_EQ(Page.Text("txtIP"), "192.168.1.255");
}

} // namespace
