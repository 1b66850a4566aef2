// The settings pages as Qt widgets: built as the language files address them, a device record
// shown and written back through the widgets, the rules run by a user's keys and clicks but
// not by a language file, and the tab brought to the front on a bad value.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

#include "UiTestSupport.h"
#include "control/SettingsControls.h"
#include "model/Conversions.h"
#include "tests/model/ModelTestSupport.h"
#include "ui/SettingsPages.h"
#include "ui/WidgetControl.h"
#include "tests/control/ControlTestSupport.h"

using namespace qubra;
using namespace qubra::test;

using qubra::controltest::DeviceRecord;

namespace {

const QString kNotForUDP = "Neplatné pro UDP mód";

class SettingsPages : public ::testing::Test {
protected:
    std::unique_ptr<TDataManager> Manager = BuiltInMapping();
    TDataPacket& Record = *Manager->FindPacket("SetupRecord0");
    std::uint32_t DeviceIP = StrToIP("192.168.1.10");
    TSettingsPages Pages{*Manager, DeviceIP};
    TBoxRecorder Boxes;

    template <typename TWidget>
    TWidget* Get(const char* Name)
    {
        auto* widget = qobject_cast<TWidget*>(Pages.Control(Name));
        EXPECT_NE(widget, nullptr) << Name;
        return widget;
    }
    QComboBox* Combo(const char* Name) { return Get<QComboBox>(Name); }
    QLineEdit* Edit(const char* Name) { return Get<QLineEdit>(Name); }
    bool Enabled(const char* Name) { return Pages.Control(Name)->isEnabled(); }
    bool Shows(const char* Page) { return Pages.Container(Page)->isVisibleTo(&Pages); }

    void Show(const TBytes& Bytes)
    {
        Record.SetData(Bytes);
        Pages.Binding().RecordToControls();
    }
    // What a user does.
    void Type(const char* Name, const QString& Text)
    {
        QTest::keyClicks(Edit(Name), Text);
    }
    void Clear(const char* Name)
    {
        Edit(Name)->selectAll();
        QTest::keyClick(Edit(Name), Qt::Key_Backspace);
    }
    void Paste(const char* Name, const QString& Text)
    {
        QApplication::clipboard()->setText(Text);
        Edit(Name)->selectAll();
        QTest::keyClick(Edit(Name), Qt::Key_V, Qt::ControlModifier);
    }
    void Leave(const char* Name, Qt::FocusReason Reason = Qt::TabFocusReason)
    {
        QFocusEvent out(QEvent::FocusOut, Reason);
        QApplication::sendEvent(Edit(Name), &out);
    }
    void Click(const char* Name) { QTest::mouseClick(Get<QCheckBox>(Name), Qt::LeftButton); }
    void Key(const char* Name, Qt::Key Key) { QTest::keyClick(Combo(Name), Key); }
};

// The label a control is labelled by.
QLabel* LabelOf(QWidget* Control)
{
    for (QLabel* label : Control->parentWidget()->findChildren<QLabel*>())
        if (label->buddy() == Control) return label;
    return nullptr;
}

} // namespace

TEST_F(SettingsPages, EveryControlStartsAsTheTableSaysInsideItsPageAndGroup)
{
    for (const TSettingsControl& control : SettingsControls()) {
        SCOPED_TRACE(control.Name);
        QWidget* widget = Pages.Control(control.Name);
        EXPECT_EQ(widget->objectName().toStdString(), control.Name);
        EXPECT_EQ(widget->parentWidget(), Pages.Container(control.Parent));
        EXPECT_EQ(widget->isEnabled(), control.StartEnabled);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            ASSERT_EQ(combo->count(), static_cast<int>(control.Items.size()));
            for (int i = 0; i < combo->count(); ++i) EXPECT_EQ(combo->itemText(i).toStdString(), control.Items[i]);
            EXPECT_EQ(combo->currentIndex(), control.StartIndex);
        }
    }
    for (const char* group : {"GroupBox6", "GroupBox5", "GroupBox4", "GroupBox2"}) {
        auto* box = qobject_cast<QGroupBox*>(Pages.Container(group));
        ASSERT_NE(box, nullptr) << group;
        EXPECT_EQ(box->parentWidget(), Pages.Container("pnlNastTepl")) << group;
    }
    EXPECT_EQ(Pages.Container("GroupBox5")->property("title").toString(), "Nastavení sériové linky");
    EXPECT_EQ(Pages.IPSet().parentWidget(), Pages.Container("pnlNastNet"));
    EXPECT_EQ(Pages.IPSet().objectName(), "IPSet");
    EXPECT_EQ(Pages.Control("txtIP"), Pages.IPSet().txtIP);

    EXPECT_EQ(Get<QSpinBox>("seSourcePort")->value(), 10001);
    EXPECT_EQ(Get<QSpinBox>("seSourcePort")->minimum(), 0) << "every port the field holds";
    EXPECT_EQ(Get<QSpinBox>("SpinEdit1")->maximum(), 65535);
    EXPECT_EQ(Edit("Edit1")->text(), "0");
    EXPECT_EQ(Edit("Edit3")->maxLength(), 15);
    EXPECT_EQ(Edit("Edit6")->maxLength(), 4);
    EXPECT_EQ(Get<QCheckBox>("CheckBox1")->text(), "UDP datagram mód");
    EXPECT_EQ(Combo("ComboBox7")->itemText(1), R"(Znaková odezvaí ("C"-připojeno/"D"-odpojeno/"N"-nedostupný))");
    EXPECT_EQ(Combo("ComboBox8")->itemText(5), "Modem mód");
    EXPECT_EQ(Get<QLabel>("lblCurrentIP")->text(), "Současná IP adresa : ");
    EXPECT_TRUE(Shows("pnlNastTepl"));
    EXPECT_FALSE(Shows("pnlNastNet"));
}

TEST_F(SettingsPages, LabelsUnitsAndHints)
{
    const struct {
        const char* Control;
        QString Label;
        QString Hint;
    } labelled[] = {
        {"ComboBox8", "Aktivní navázání spojení", kNotForUDP},
        {"ComboBox9", "Činnost modulu při volbě Modem mód", kNotForUDP},
        {"ComboBox16", "Je-li navázáno aktivní spojení", kNotForUDP},
        {"ComboBox11", "Je-li navázáno pasivní spojení", kNotForUDP},
        {"ComboBox12", "Dojde-li k přerušení spojení", kNotForUDP},
        {"ComboBox13", "Je-li navázáno aktivní spojení", kNotForUDP},
        {"ComboBox14", "Je-li navázáno pasivní spojení", kNotForUDP},
        {"ComboBox15", "Dojde-li k přerušení spojení", kNotForUDP},
        {"seSourcePort", "Lokální port", ""},
        {"ComboBox6", "Příchozí spojení", ""},
        {"ComboBox7", "Odezva", ""},
        {"Edit1", "Časovač nečinnosti", ""},
        {"Edit6", "Heslo Telnetu", ""},
    };
    for (const auto& c : labelled) {
        SCOPED_TRACE(c.Control);
        QLabel* label = LabelOf(Pages.Control(c.Control));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), c.Label);
        EXPECT_EQ(label->toolTip(), c.Hint);
        if (!c.Hint.isEmpty()) {
            EXPECT_EQ(Pages.Control(c.Control)->toolTip(), c.Hint);
        }
    }
    EXPECT_EQ(Pages.Control("CheckBox2")->toolTip(), kNotForUDP);
    EXPECT_EQ(Pages.Control("Edit5")->toolTip(), kNotForUDP);
    EXPECT_EQ(LabelOf(Pages.Control("Edit5")), nullptr);
    EXPECT_EQ(Pages.Control("TEditN1")->toolTip(), "Zadejte hodnotu znaku v HEXa  [např. 0A]");
    EXPECT_EQ(Pages.Control("TEditN2")->toolTip(), "Zadejte hodnotu znaku v HEXa  [např. 0A]");
    EXPECT_EQ(Pages.Control("Edit6")->toolTip(), "Maximálně 4 znaky");
    EXPECT_EQ(Pages.Control("ComboBox6")->toolTip(), "");

    QStringList texts;
    for (QLabel* label : Pages.Container("GroupBox6")->findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.contains("min"));
    EXPECT_TRUE(texts.contains("s"));
    texts.clear();
    for (QLabel* label : Pages.Container("GroupBox2")->findChildren<QLabel*>()) texts << label->text();
    EXPECT_EQ(texts.count("Vstupní"), 1);
    EXPECT_EQ(texts.count("Výstupní"), 1);
    texts.clear();
    for (QLabel* label : Pages.Container("pnlNastNet")->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        texts << label->text();
    EXPECT_TRUE(texts.contains("Siťové nastavení zařízení"));
}

TEST_F(SettingsPages, RecordsGoThroughTheWidgetsAndBackByteForByte)
{
    struct TCase {
        const char* Name;
        std::vector<std::pair<int, std::uint8_t>> Bytes;
    };
    // Byte positions and bits from the record's field table.
    const TCase cases[] = {
        {"as a device sends it", {}},
        {"7 bits, even parity, 2 stop bits, 230400, RTS/CTS", {{20, 0xF8}, {21, 0x0A}, {22, 0x02}}},
        {"remote end", {{26, 0x34}, {27, 0x12}, {28, 10}, {29, 0}, {30, 0}, {31, 7}}},
        {"modem with echo over a set response bit", {{32, 0xD6}}},
        {"autostart with character response", {{32, 0xD5}}},
        {"port password and timers of three digits", {{33, 0x10}, {52, 'p'}, {53, 0xE8}, {34, 200}, {35, 59}}},
        {"packing with two trigger characters", {{38, 0x95}, {39, 0x0B}, {36, 0x1A}, {37, 0x0D}}},
        {"UDP datagrams leave what they disable", {{33, 0x01}, {32, 0xDC}, {34, 7}, {38, 0x15}, {52, 'n'}}},
        {"automatic mask", {{10, 0}, {4, 10}, {5, 1}, {6, 2}, {7, 3}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBytes record = DeviceRecord();
        for (const auto& [index, value] : c.Bytes) record[index] = value;
        TSettingsPages pages(*Manager, DeviceIP);
        Record.SetData(record);
        pages.Binding().RecordToControls();
        EXPECT_TRUE(pages.Binding().ControlsToRecord());
        EXPECT_EQ(Record.GetData(), record);
    }

    Record.SetData(DeviceRecord());
    Manager->ApplyDefaults();
    const TBytes defaults = Record.GetData();
    Pages.Binding().RecordToControls();
    EXPECT_TRUE(Pages.Binding().ControlsToRecord());
    EXPECT_EQ(Record.GetData(), defaults);
}

TEST_F(SettingsPages, ShownRecordEndsOnTheDataChannelPageWithTheFocusInTheLocalPort)
{
    TBytes record = DeviceRecord();
    record[32] = 0xD6;  // modem with echo
    record[33] = 0x10, record[52] = 'p', record[53] = 0xE8;
    record[34] = 200;
    Pages.ShowTabPage(kNetworkTab);
    Show(record);

    EXPECT_TRUE(Shows("pnlNastTepl"));
    EXPECT_FALSE(Shows("pnlNastNet"));
    EXPECT_EQ(Pages.focusWidget(), Pages.Control("seSourcePort"));
    EXPECT_EQ(Combo("ComboBox8")->currentIndex(), 5);
    EXPECT_EQ(Combo("ComboBox9")->currentIndex(), 1);
    EXPECT_TRUE(Enabled("ComboBox9"));
    EXPECT_EQ(Combo("ComboBox7")->currentIndex(), 0);
    EXPECT_TRUE(Get<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_EQ(Edit("Edit5")->text(), "pč");
    EXPECT_TRUE(Enabled("Edit5"));
    EXPECT_EQ(Edit("Edit1")->text(), "200") << "a value of three digits is shown whole";
    EXPECT_EQ(Edit("Edit6")->text(), "ab");
    EXPECT_EQ(Pages.IPSet().txtMask->text(), "255.255.255.0");
    EXPECT_EQ(Get<QLabel>("lblCurrentIP")->text(), "Současná IP adresa : 192.168.1.10");
    EXPECT_FALSE(Pages.Control("lblCurrentIP")->isHidden());

    // The limit is the field's, whatever the edit showed before.
    record[34] = 5;
    Show(record);
    Edit("Edit1")->selectAll();
    Type("Edit1", "1234");
    EXPECT_EQ(Edit("Edit1")->text(), "123");

    DeviceIP = 0;
    Pages.Binding().ShowCurrentIP(StrToIP("10.0.0.1"));
    EXPECT_TRUE(Pages.Control("lblCurrentIP")->isHidden());
}

TEST_F(SettingsPages, ClicksAndSelectionsRunTheRules)
{
    Show(DeviceRecord());
    Pages.show();

    Key("ComboBox8", Qt::Key_End);
    EXPECT_EQ(Combo("ComboBox8")->currentIndex(), 5);
    EXPECT_TRUE(Enabled("ComboBox9"));
    EXPECT_EQ(Combo("ComboBox9")->currentIndex(), 0);
    Key("ComboBox9", Qt::Key_Down);
    EXPECT_EQ(Combo("ComboBox9")->currentIndex(), 1);
    Key("ComboBox8", Qt::Key_Up);
    EXPECT_FALSE(Enabled("ComboBox9"));
    EXPECT_EQ(Combo("ComboBox9")->currentIndex(), -1);

    for (const char* control : {"ComboBox23", "ComboBox24", "TEditN1", "TEditN2"}) EXPECT_FALSE(Enabled(control));
    Key("ComboBox22", Qt::Key_Down);
    for (const char* control : {"ComboBox23", "ComboBox24", "TEditN1", "TEditN2"}) EXPECT_TRUE(Enabled(control));

    Click("CheckBox2");
    EXPECT_TRUE(Enabled("Edit5"));
    Click("CheckBox1");
    for (const char* control : {"ComboBox7", "ComboBox8", "ComboBox9", "ComboBox16", "ComboBox15", "CheckBox2", "Edit5",
                                "Edit1", "Edit2"})
        EXPECT_FALSE(Enabled(control)) << control;
    EXPECT_TRUE(Enabled("ComboBox6"));
    Click("CheckBox1");
    for (const char* control : {"ComboBox7", "ComboBox8", "ComboBox16", "ComboBox15", "CheckBox2", "Edit5", "Edit1"})
        EXPECT_TRUE(Enabled(control)) << control;
    EXPECT_FALSE(Enabled("ComboBox9"));

    // What the user chose travels into the record.
    Clear("TEditN1");
    Type("TEditN1", "1a");
    TBytes expected = DeviceRecord();
    expected[32] = 0xC5;  // autostart, the item above the modem mode
    expected[33] = 0x10;  // port password
    expected[36] = 0x1A;
    expected[38] = 0x80;  // packing
    EXPECT_TRUE(Pages.Binding().ControlsToRecord());
    EXPECT_EQ(Record.GetData(), expected);
    EXPECT_TRUE(Boxes.Boxes.empty());
}

TEST_F(SettingsPages, TimerEditsKeepToTwoDigitsAsTheUserTypes)
{
    Show(DeviceRecord());
    Clear("Edit1");
    Type("Edit1", "05");
    EXPECT_EQ(Edit("Edit1")->text(), "5");
    Clear("Edit1");
    Type("Edit1", "x");
    EXPECT_EQ(Edit("Edit1")->text(), "0");
    Paste("Edit1", "-3");
    EXPECT_EQ(Edit("Edit1")->text(), "0");
    Paste("Edit2", " 7");
    EXPECT_EQ(Edit("Edit2")->text(), "7");

    Clear("Edit2");
    EXPECT_EQ(Edit("Edit2")->text(), "") << "typing leaves an empty edit";
    Leave("Edit2", Qt::ActiveWindowFocusReason);
    Leave("Edit2", Qt::PopupFocusReason);
    EXPECT_EQ(Edit("Edit2")->text(), "") << "the focus comes back to the edit";
    Leave("Edit2");
    EXPECT_EQ(Edit("Edit2")->text(), "0");
    Clear("Edit5");
    Leave("Edit5");
    EXPECT_EQ(Edit("Edit5")->text(), "") << "only the timers fill in a zero";
}

TEST_F(SettingsPages, AnAddressWith255IsRefusedAsItIsTyped)
{
    TBytes record = DeviceRecord();
    record[6] = 255;
    Show(record);
    EXPECT_EQ(Edit("txtIP")->text(), "192.168.255.10") << "a transfer runs no check";
    EXPECT_TRUE(Boxes.Boxes.empty());

    Pages.ShowTabPage(kNetworkTab);
    Clear("txtIP");
    Type("txtIP", "10.0.0.25");
    EXPECT_EQ(Edit("txtIP")->text(), "10.0.0.25");
    EXPECT_TRUE(Boxes.Boxes.empty());
    Type("txtIP", "5");
    EXPECT_EQ(Edit("txtIP")->text(), "");
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Text, "V IP adrese nelze použít hodnotu 255");
    EXPECT_EQ(Boxes.Boxes[0].Icon, QMessageBox::Critical);

    Paste("txtIP", "10.12550.0.1");
    EXPECT_EQ(Edit("txtIP")->text(), "");
    EXPECT_EQ(Boxes.Boxes.size(), 2u);
}

TEST_F(SettingsPages, ALanguageFileAddressesThePagesInTheirHolderAndRunsNoRule)
{
    QWidget window;
    window.setObjectName("fQUBRA");
    auto* holder = new QWidget(&window);
    holder->setObjectName("pnlNastav");
    Pages.setParent(holder);
    Show(DeviceRecord());
    Key("ComboBox8", Qt::Key_End);
    Key("ComboBox9", Qt::Key_Down);
    ASSERT_EQ(Combo("ComboBox9")->currentIndex(), 1);

    TLanguageFile english(R"(<fQUBRA><pnlNastav>
        <pnlNastTepl><GroupBox6 caption="Ethernet">
          <lblComboBox8 caption="Active connection"/>
          <ComboBox8><items><item value="Off"/><item value="Any character"/><item value="CR"/>
            <item value="Manual"/><item value="AutoStart"/><item value="Modem mode"/></items></ComboBox8>
        </GroupBox6></pnlNastTepl>
        <pnlNastNet><IPSet><Label1 caption="IP address"/></IPSet><lblEdit6 caption="Telnet password"/></pnlNastNet>
      </pnlNastav></fQUBRA>)");
    TranslateForm(&window, english.Lang);
    EXPECT_EQ(Pages.Container("GroupBox6")->property("title").toString(), "Ethernet");
    EXPECT_EQ(LabelOf(Combo("ComboBox8"))->text(), "Active connection");
    EXPECT_EQ(Combo("ComboBox8")->itemText(5), "Modem mode");
    EXPECT_EQ(Combo("ComboBox8")->currentIndex(), 5);
    EXPECT_EQ(Pages.IPSet().Label1->text(), "IP address");
    EXPECT_EQ(LabelOf(Edit("Edit6"))->text(), "Telnet password");
    EXPECT_EQ(Combo("ComboBox9")->currentIndex(), 1) << "the active-connection rule ran";

    TLanguageFile shorter(R"(<fQUBRA><pnlNastav><pnlNastTepl><GroupBox6>
          <ComboBox8><items><item value="Off"/><item value="On"/></items></ComboBox8>
        </GroupBox6></pnlNastTepl></pnlNastav></fQUBRA>)");
    TranslateForm(&window, shorter.Lang);
    EXPECT_EQ(Combo("ComboBox8")->currentIndex(), -1);
    EXPECT_TRUE(Enabled("ComboBox9")) << "the active-connection rule ran";
    EXPECT_EQ(Combo("ComboBox9")->currentIndex(), 1);
    Pages.setParent(nullptr);
}

TEST_F(SettingsPages, ABadValueBringsItsTabToTheFrontBeforeTheErrorGoesOn)
{
    std::vector<std::string> tabs;
    Show(DeviceRecord());
    Pages.ShowTabPage(kNetworkTab);
    Key("ComboBox22", Qt::Key_Down);
    Clear("TEditN2");
    Type("TEditN2", "zz");
    try {
        Pages.Binding().ControlsToRecord();
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "'$zz' is not a valid integer value");
    }
    EXPECT_TRUE(Shows("pnlNastTepl"));
    EXPECT_FALSE(Shows("pnlNastNet"));

    // The main window's handler selects its tab as well.
    Pages.SetTabHandler([&](const std::string& tab) {
        tabs.push_back(tab);
        Pages.ShowTabPage(tab);
    });
    Clear("TEditN2");
    Pages.ShowTabPage(kNetworkTab);
    Clear("txtIP");
    Pages.ShowTabPage(kDataChannelTab);
    try {
        Pages.Binding().ControlsToRecord();
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Síťové nastavení není v pořádku.");
    }
    EXPECT_EQ(tabs, std::vector<std::string>{kNetworkTab});
    EXPECT_TRUE(Shows("pnlNastNet"));
    EXPECT_FALSE(Shows("pnlNastTepl"));
}

TEST_F(SettingsPages, PortPasswordTakesTheSizeOfTheNameFieldOfTheMappingInUse)
{
    Show(DeviceRecord());
    Click("CheckBox2");
    Type("Edit5", "abcdefghijklmnopqrst");
    EXPECT_EQ(Edit("Edit5")->text(), "abcdefghijklmno");
    Clear("Edit6");
    Type("Edit6", "secret");
    EXPECT_EQ(Edit("Edit6")->text(), "secr");

    const std::unique_ptr<TDataManager> smaller = MappingOf(
        R"(<datapacket name="SetupRecord0" size="8"><dataitem name="terminal_name" type="string" position="0" size="8"/></datapacket>)");
    std::uint32_t none = 0;
    TSettingsPages pages(*smaller, none);
    auto* edit = qobject_cast<QLineEdit*>(pages.Control("Edit5"));
    edit->setEnabled(true);
    QTest::keyClicks(edit, "abcdefghijklmnopqrst");
    EXPECT_EQ(edit->text(), "abcdefgh");
}

TEST_F(SettingsPages, ActiveConnectionListIsAtLeast260PixelsWide)
{
    Pages.show();
    QComboBox* combo = Combo("ComboBox8");
    ASSERT_LT(combo->width(), 260) << "the list would be as wide as the box anyway";
    combo->showPopup();
    EXPECT_GE(combo->view()->width(), 260);
    combo->hidePopup();

    // Short items from a language file leave it as wide.
    TWidgetComboItems(combo).SetItems({"a", "b"});
    combo->showPopup();
    EXPECT_EQ(combo->view()->width(), 260);
    combo->hidePopup();

    QComboBox* other = Combo("ComboBox6");
    other->showPopup();
    EXPECT_LT(other->view()->width(), 260);
    other->hidePopup();
}

// Every numeric control takes what its field holds, no more: a device's value shows and goes
// back unchanged, a typed value the field cannot hold is refused, never cut to its bits.
TEST_F(SettingsPages, NumericControlsKeepToTheirFieldsCapacity)
{
    TBytes record = DeviceRecord();
    record[24] = 0x00, record[25] = 0x00;  // local port 0
    record[34] = 200;
    Show(record);
    EXPECT_EQ(Get<QSpinBox>("seSourcePort")->value(), 0);
    for (const char* edit : {"Edit1", "Edit2"})
        EXPECT_EQ(Edit(edit)->maxLength(), 3) << edit << ": the digits of 255";
    Pages.Binding().ControlsToRecord();
    EXPECT_EQ(Record.GetData()[24], 0x00);
    EXPECT_EQ(Record.GetData()[34], 200);

    Paste("Edit2", "-12");
    EXPECT_EQ(Edit("Edit2")->text(), "0");
    for (const char* typed : {"999", "300", "256"}) {
        SCOPED_TRACE(typed);
        Show(record);
        Pages.ShowTabPage(kNetworkTab);
        Edit("Edit1")->selectAll();
        Type("Edit1", typed);
        EXPECT_EQ(Edit("Edit1")->text(), typed);
        try {
            Pages.Binding().ControlsToRecord();
            ADD_FAILURE() << "taken";
        } catch (const Exception& error) {
            EXPECT_STREQ(error.what(), "Hodnoty nejsou zadány zprávně. Zkontrolujte je prosím");
        }
        EXPECT_EQ(Record.GetData()[34], 200) << "not wrapped";
        EXPECT_TRUE(Shows("pnlNastTepl"));
    }
    Edit("Edit1")->selectAll();
    Type("Edit1", "255");
    Pages.Binding().ControlsToRecord();
    EXPECT_EQ(Record.GetData()[34], 255);
}
