#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabWidget>

#include "UiTestSupport.h"
#include "model/Exception.h"
#include "ui/IPSetFrame.h"
#include "ui/TlacFrames.h"
#include "ui/WidgetControl.h"

using namespace qubra;
using namespace qubra::test;

namespace {

template <typename TWidget, typename... TArgs>
TWidget* Named(const char* name, TArgs&&... args)
{
    auto* widget = new TWidget(std::forward<TArgs>(args)...);
    widget->setObjectName(name);
    return widget;
}

// A main window laid out the way Qt arranges one: an unnamed central widget, an unnamed
// stack of pages and a tab widget with its own internal children.
struct TForm {
    QMainWindow Window;
    TfrmTlacMenu* Menu = new TfrmTlacMenu;
    Tfrm_IPSet* IPSet = new Tfrm_IPSet;
    QLabel* Title = Named<QLabel>("lblTitle", "Titulek");
    QComboBox* Combo = Named<QComboBox>("ComboBox8");
    QGroupBox* Group = Named<QGroupBox>("GroupBox1", "Skupina");
    QCheckBox* Check = Named<QCheckBox>("chX", "Volba");
    QWidget* Page = Named<QWidget>("pnlA");
    QLabel* PageLabel = Named<QLabel>("Label1", "Popis", Page);
    QTabWidget* Tabs = Named<QTabWidget>("PageControl1");
    QWidget* Tab = Named<QWidget>("tabNet");
    QLineEdit* Edit = Named<QLineEdit>("Edit5", Tab);

    TForm()
    {
        Window.setObjectName("fMain");
        Menu->setObjectName("menuIP");
        IPSet->setObjectName("IPSet");
        Check->setParent(Group);
        Combo->addItems({"a", "b", "c"});
        Combo->setCurrentIndex(1);
        auto* stack = new QStackedWidget;
        stack->addWidget(Page);
        Tabs->addTab(Tab, "Síť");
        auto* central = new QWidget;
        for (QWidget* child : std::initializer_list<QWidget*>{Menu, IPSet, Title, Combo, Group, stack, Tabs})
            child->setParent(central);
        Window.setCentralWidget(central);
    }
};

} // namespace

TEST(WidgetTranslation, NestingFollowsTheFramesAndLooksThroughQtsOwnContainers)
{
    TForm form;
    QSignalSpy comboChanges(form.Combo, &QComboBox::currentIndexChanged);
    TLanguageFile file(R"(<fMain caption="Main window">
        <menuIP><Tlac CAPTION="Menu IP" Hint="Opens the address menu"/></menuIP>
        <Tlac caption="wrong parent"/>
        <IPSet><Label1 caption="IP address"/><chAutoMask Caption="automatic"/></IPSet>
        <Label1 caption="wrong parent"/>
        <pnlA><Label1 caption="Page label"/></pnlA>
        <lblTitle caption="Title" HINT="The title"/>
        <GroupBox1 caption="Group"><chX caption="Option"/></GroupBox1>
        <PageControl1><tabNet caption="Network"><Edit5 text="typed" maxlength="5"/></tabNet></PageControl1>
        <ComboBox8><items><item value="One"/><item value="Two"/><item/></items></ComboBox8>
      </fMain>)");
    TranslateForm(&form.Window, file.Lang);

    EXPECT_EQ(form.Window.windowTitle(), "Main window");
    EXPECT_EQ(form.Menu->Tlac->Caption(), "Menu IP");
    EXPECT_EQ(form.Menu->Tlac->toolTip(), "Opens the address menu");
    EXPECT_EQ(form.IPSet->Label1->text(), "IP address");
    EXPECT_EQ(form.IPSet->chAutoMask->text(), "automatic");
    EXPECT_EQ(form.IPSet->Label2->text(), "Maska podsítě") << "what the file leaves out keeps its text";
    EXPECT_EQ(form.PageLabel->text(), "Page label");
    EXPECT_EQ(form.Title->text(), "Title");
    EXPECT_EQ(form.Title->toolTip(), "The title");
    EXPECT_EQ(form.Group->title(), "Group");
    EXPECT_EQ(form.Check->text(), "Option");
    EXPECT_EQ(form.Tabs->tabText(0), "Network");
    EXPECT_EQ(form.Edit->text(), "typed");
    EXPECT_EQ(form.Edit->maxLength(), 5);
    ASSERT_EQ(form.Combo->count(), 3);
    EXPECT_EQ(form.Combo->itemText(0), "One");
    EXPECT_EQ(form.Combo->itemText(2), "<Error In Lng File>");
    EXPECT_EQ(form.Combo->currentIndex(), 1);
    EXPECT_EQ(comboChanges.count(), 0) << "new entries must not run the selection's rules";
}

TEST(WidgetTranslation, ComboLosesItsSelectionWhenTheIndexIsGoneAndKeepsItsListWithoutItems)
{
    TForm form;
    QSignalSpy comboChanges(form.Combo, &QComboBox::currentIndexChanged);
    TLanguageFile shorter(R"(<fMain><ComboBox8><items><item value="Only"/></items></ComboBox8></fMain>)");
    TranslateForm(&form.Window, shorter.Lang);
    EXPECT_EQ(form.Combo->count(), 1);
    EXPECT_EQ(form.Combo->currentIndex(), -1);
    EXPECT_EQ(comboChanges.count(), 0);

    TLanguageFile noItems(R"(<fMain><ComboBox8 hint="list"/></fMain>)");
    TranslateForm(&form.Window, noItems.Lang);
    EXPECT_EQ(form.Combo->count(), 1);
    EXPECT_EQ(form.Combo->toolTip(), "list");
}

TEST(WidgetTranslation, AnAttributeWithoutAPropertyStopsTheWalkAfterWhatCameBefore)
{
    TForm form;
    TLanguageFile file(R"(<fMain><lblTitle caption="Title" colour="red" hint="never"/><Edit5 text="never"/></fMain>)");
    try {
        TranslateForm(&form.Window, file.Lang);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Property colour does not exist");
    }
    EXPECT_EQ(form.Title->text(), "Title");
    EXPECT_EQ(form.Title->toolTip(), "");

    TLanguageFile editCaption(R"(<fMain><PageControl1><tabNet><Edit5 caption="x"/></tabNet></PageControl1></fMain>)");
    EXPECT_THROW(TranslateForm(&form.Window, editCaption.Lang), Exception) << "an edit has no caption";

    TLanguageFile badNumber(R"(<fMain><PageControl1><tabNet><Edit5 maxLength="five"/></tabNet></PageControl1></fMain>)");
    try {
        TranslateForm(&form.Window, badNumber.Lang);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'five' is not a valid integer value");
    }
    TLanguageFile badBoolean(R"(<fMain><lblTitle wordWrap="maybe"/></fMain>)");
    EXPECT_THROW(TranslateForm(&form.Window, badBoolean.Lang), EConvertError);
    TLanguageFile boolean(R"(<fMain><lblTitle wordWrap="True"/></fMain>)");
    TranslateForm(&form.Window, boolean.Lang);
    EXPECT_TRUE(form.Title->wordWrap());
}

TEST(WidgetTranslation, LoadingTranslatesTheApplicationsOwnWindowsOnly)
{
    TForm form;
    auto* owned = Named<QDialog>("fDataSender", &form.Window);
    owned->setWindowTitle("Komunikace...");
    TApplicationWindows windows;
    TLanguageFile file(R"(<fMain caption="Main"/><fDataSender caption="Communication"/>)");
    file.Lang.ApplicationWindows = [&] { return windows(); };
    file.Lang.LoadLanguage(file.Dir.filePath("test.lng.xml").toStdString());
    EXPECT_EQ(form.Window.windowTitle(), "Main");
    EXPECT_EQ(owned->windowTitle(), "Komunikace...") << "a window owned by another window is not the application's";
}
