#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QTest>

#include "UiTestSupport.h"
#include "ui/IPSetFrame.h"

using namespace qubra;
using namespace qubra::test;

namespace {

void Type(QLineEdit* edit, const QString& text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}

void LeaveEdit(QLineEdit* edit)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &out);
}

} // namespace

TEST(AddressFrame, StartsAsDesignedWithTheAutomaticMaskTickedAndTheMaskEditable)
{
    Tfrm_IPSet frame;
    EXPECT_EQ(frame.size(), QSize(248, 132));
    EXPECT_TRUE(frame.AutoMask());
    EXPECT_TRUE(frame.txtMask->isEnabled());
    EXPECT_EQ(frame.txtIP->text(), "");
    EXPECT_EQ(frame.txtMask->text(), "0.0.0.0");
    EXPECT_EQ(frame.txtGate->text(), "0.0.0.0");
    for (const char* name : {"Label1", "txtIP", "Label2", "chAutoMask", "txtMask", "Label3", "txtGate"})
        EXPECT_NE(frame.findChild<QWidget*>(name, Qt::FindDirectChildrenOnly), nullptr) << name;

    frame.show();
    frame.resize(348, 132);
    EXPECT_EQ(frame.txtIP->geometry(), QRect(8, 24, 334, 21));
    EXPECT_EQ(frame.txtGate->geometry(), QRect(7, 104, 334, 21));
}

TEST(AddressFrame, AutomaticMaskFollowsTheAddressOnEnterAndWhenTheAddressIsLeft)
{
    Tfrm_IPSet frame;
    Type(frame.txtIP, "172.16.5.4");
    EXPECT_EQ(frame.txtMask->text(), "0.0.0.0") << "typing alone changes nothing";
    QTest::keyClick(frame.txtIP, Qt::Key_Return);
    EXPECT_EQ(frame.txtMask->text(), "255.255.0.0");
    EXPECT_EQ(frame.GetMask(), 0u);

    Type(frame.txtIP, "127.0.0.1");
    LeaveEdit(frame.txtIP);
    EXPECT_EQ(frame.txtMask->text(), "0.0.0.0");

    Type(frame.txtIP, "10.1.2.3");
    QTest::keyClick(frame.txtIP, Qt::Key_Enter); // the keypad's Enter
    EXPECT_EQ(frame.txtMask->text(), "255.0.0.0");
    EXPECT_EQ(frame.GetMask(), 0u);
    EXPECT_EQ(frame.GetIP(), 0x0302010Au);
}

TEST(AddressFrame, WithoutTheAutomaticMaskTheTypedMaskStays)
{
    Tfrm_IPSet frame;
    frame.SetAutoMask(false);
    EXPECT_TRUE(frame.txtMask->isEnabled());
    Type(frame.txtMask, "255.255.255.128");
    Type(frame.txtIP, "192.168.1.10");
    QTest::keyClick(frame.txtIP, Qt::Key_Return);
    LeaveEdit(frame.txtIP);
    EXPECT_EQ(frame.txtMask->text(), "255.255.255.128");
    EXPECT_EQ(frame.GetMask(), 0x80FFFFFFu);
}

TEST(AddressFrame, TickingTheBoxDisablesTheMaskAndShowsTheStandardOne)
{
    Tfrm_IPSet frame;
    frame.SetValues("192.168.1.10", "255.255.0.0", "");
    EXPECT_FALSE(frame.AutoMask());
    frame.chAutoMask->click();
    EXPECT_TRUE(frame.AutoMask());
    EXPECT_FALSE(frame.txtMask->isEnabled());
    EXPECT_EQ(frame.txtMask->text(), "255.255.255.0");
    frame.chAutoMask->click();
    EXPECT_TRUE(frame.txtMask->isEnabled());
    EXPECT_EQ(frame.txtMask->text(), "255.255.255.0") << "unticking leaves the mask shown";
    EXPECT_EQ(frame.GetMask(), 0x00FFFFFFu);
}

TEST(AddressFrame, SetValuesSwitchesTheAutomaticMaskByTheMaskGiven)
{
    Tfrm_IPSet frame;
    frame.SetValues("192.168.1.10", "255.255.255.255", "192.168.1.1");
    EXPECT_TRUE(frame.AutoMask());
    EXPECT_FALSE(frame.txtMask->isEnabled());
    EXPECT_EQ(frame.txtMask->text(), "255.255.255.0");
    EXPECT_EQ(frame.GetMask(), 0u);
    EXPECT_EQ(frame.GetGateway(), 0x0101A8C0u);
    EXPECT_EQ(frame.GetIPText(), "192.168.1.10");

    frame.SetValues("10.0.0.5", "255.255.255.0", "");
    EXPECT_FALSE(frame.AutoMask());
    EXPECT_TRUE(frame.txtMask->isEnabled());
    EXPECT_EQ(frame.txtMask->text(), "255.255.255.0");
    EXPECT_EQ(frame.GetMask(), 0x00FFFFFFu);
    EXPECT_EQ(frame.GetGateway(), 0u);

    // A device that did not answer: empty address, mask and gateway 0.0.0.0, no automatic mask.
    frame.SetValues("", "0.0.0.0", "0.0.0.0");
    EXPECT_FALSE(frame.AutoMask());
    EXPECT_EQ(frame.txtMask->text(), "0.0.0.0");
    EXPECT_FALSE(frame.IsValid());

    frame.SetValues("172.16.0.9", "no mask", "");
    EXPECT_TRUE(frame.AutoMask());
    EXPECT_EQ(frame.txtMask->text(), "255.255.0.0");
}

TEST(AddressFrame, IsValidReadsTheThreeEdits)
{
    Tfrm_IPSet frame;
    frame.SetValues("192.168.1.10", "", "");
    EXPECT_TRUE(frame.IsValid());
    frame.txtGate->setText("192.168.1");
    EXPECT_TRUE(frame.IsValid()) << "three parts read as an address";
    frame.txtGate->setText("gateway");
    EXPECT_FALSE(frame.IsValid());
    frame.txtGate->clear();
    frame.txtIP->setText("255.255.255.255");
    EXPECT_FALSE(frame.IsValid());
}
