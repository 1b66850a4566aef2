// The `forms` sections of the shipped language files against the windows they translate.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "i18n/Language.h"
#include "model/TextValues.h"
#include "model/Xml.h"
#include "tests/ui/UiDeviceTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxes.h"
#include "ui/SetIPWizard.h"
#include "ui/WidgetControl.h"

using namespace qubra;
using namespace qubra::test;

namespace {

const std::string kResources = QUBRA_RESOURCES_DIR;

// Every element of a window's section as "window/control/.../@attribute" (and the control path
// itself), each checked against the live control it addresses.
void Walk(const xmlNode* Element, TControl* Control, const std::string& Path, std::set<std::string>& Addressed)
{
    Addressed.insert(Path);
    std::set<std::string> properties;
    for (const std::string& name : Control->PropertyNames()) properties.insert(LowerCase(name));
    for (const xmlAttr* a = Element->properties; a; a = a->next) {
        const std::string name = reinterpret_cast<const char*>(a->name);
        EXPECT_TRUE(properties.contains(LowerCase(name))) << Path << " has no property " << name;
        Addressed.insert(Path + "/@" + name);
    }
    for (const xmlNode* child : ChildElements(Element)) {
        const std::string name = NodeName(child);
        if (name == "items") {
            EXPECT_NE(Control->ComboItems(), nullptr) << Path << " has a list but is no combo box";
            continue;
        }
        TControl* found = nullptr;
        for (TControl* candidate : Control->Children())
            if (candidate->Name() == name) found = candidate;
        if (!found) {
            ADD_FAILURE() << Path << " has no child control " << name;
            continue;
        }
        Walk(child, found, Path + "/" + name, Addressed);
    }
}

class LanguageFormsTest : public UiDeviceTest {
protected:
    // The other tests expect the built-in texts: leave a language file that translates nothing.
    void TearDown() override
    {
        const std::string empty = testing::TempDir() + "empty.lng.xml";
        std::ofstream(empty, std::ios::binary) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><language/>";
        Language.LoadLanguage(empty);
        std::remove(empty.c_str());
        LanguageFile = kDefaultLanguageFile;
        UiDeviceTest::TearDown();
    }

    std::set<std::string> Addressed(const std::string& File, QWidget& Main, QWidget& Wizard)
    {
        const TXmlDocument document = TXmlDocument::ParseFile(kResources + "/" + File);
        const xmlNode* forms = FirstChildElement(document.DocumentElement(), "forms");
        EXPECT_NE(forms, nullptr) << File;
        std::set<std::string> addressed;
        if (!forms) return addressed;
        for (QWidget* window : {&Main, &Wizard}) {
            const std::string name = window->objectName().toStdString();
            const xmlNode* section = FirstChildElement(forms, name);
            EXPECT_NE(section, nullptr) << File << " has no section " << name;
            TWidgetControl control(window);
            if (section) Walk(section, &control, name, addressed);
        }
        return addressed;
    }
};

} // namespace

TEST_F(LanguageFormsTest, BothFilesAddressTheSameControlsAndEachExistsWhereTheFileSaysIt)
{
    StartDevices();
    TMainWindowServices services{&Boxes, ViewFactory(), {}, {}};
    TfQUBRA window(*Manager, services);
    TfSetIPWiz wizard(window.Controller(), Boxes);
    const std::set<std::string> czech = Addressed("cesky.lng.xml", window, wizard);
    const std::set<std::string> english = Addressed("english.lng.xml", window, wizard);
    EXPECT_GT(czech.size(), 150u) << "the settings pages are translated too";
    EXPECT_EQ(czech, english);
}

TEST_F(LanguageFormsTest, SwitchingToEnglishAndBackTranslatesTheOpenWindowLive)
{
    AddDevice("127.0.0.4");
    StartDevices();
    TMainWindowServices services{&Boxes, ViewFactory(), {}, {}};
    services.Prompt = [](const QString&, const QString&, const QString&) { return std::optional<QString>("127.0.0.4"); };
    TfQUBRA window(*Manager, services);
    AimAtDevices(window.Controller());
    window.FindByIPClick();
    ASSERT_TRUE(window.Controller().DeviceLoaded) << LastNotice();
    auto* parity = qobject_cast<QComboBox*>(window.Pages->Control("ComboBox2"));
    auto* modemList = qobject_cast<QComboBox*>(window.Pages->Control("ComboBox9"));
    auto* group = window.findChild<QGroupBox*>("GroupBox5");
    auto* currentIP = window.findChild<QLabel*>("lblCurrentIP");
    ASSERT_TRUE(parity && modemList && group && currentIP);
    parity->setCurrentIndex(2);
    const QString czechCaption = window.windowTitle();
    const QString czechMenu = window.menuIP->Tlac->Caption();
    const QString czechHint = window.cmdSaveVals->Tlac->toolTip();
    const QString czechGroup = group->title();
    const QString czechParity = parity->currentText();
    const QString czechAddress = currentIP->text();
    const int modemIndex = modemList->currentIndex();

    window.SwitchLanguage(kResources + "/english.lng.xml");
    EXPECT_EQ(window.windowTitle(), QStringLiteral("QUBRA 232 - setup"));
    EXPECT_EQ(window.menuIP->Tlac->Caption(), QStringLiteral("Find by &IP"));
    EXPECT_EQ(window.cmdSaveVals->Tlac->toolTip(), QStringLiteral("Writes the settings to the device."));
    EXPECT_EQ(GetText(msgZadejteIPAdres), "Enter the IP address of the device:");
    EXPECT_EQ(group->title(), QStringLiteral("Serial line settings"));
    EXPECT_EQ(parity->currentIndex(), 2) << "the choice survives the new list";
    EXPECT_EQ(parity->currentText(), QStringLiteral("Odd"));
    EXPECT_EQ(modemList->currentIndex(), modemIndex);
    EXPECT_EQ(currentIP->text(), QStringLiteral("Current IP address : 127.0.0.4")) << "the address stays";

    window.SwitchLanguage(kResources + "/cesky.lng.xml");
    EXPECT_EQ(window.windowTitle(), czechCaption);
    EXPECT_EQ(window.menuIP->Tlac->Caption(), czechMenu);
    EXPECT_EQ(window.cmdSaveVals->Tlac->toolTip(), czechHint);
    EXPECT_EQ(group->title(), czechGroup);
    EXPECT_EQ(parity->currentText(), czechParity);
    EXPECT_EQ(currentIP->text(), czechAddress);
    LanguageFile = kDefaultLanguageFile;
}

TEST_F(LanguageFormsTest, TheButtonsOfMessageBoxesFollowTheLanguageFileAndItsSwitch)
{
    StartDevices();
    TfQUBRA window(*Manager, {&Boxes, ViewFactory(), {}, {}});
    std::vector<QString> captions;
    SetMessageBoxScript([&](QMessageBox& Box) {
        for (QAbstractButton* button : Box.buttons()) captions.push_back(button->text().remove(QLatin1Char('&')));
        return TMessageAnswer::Cancel;
    });
    const std::vector<QString> czech{"Ano", "Ne", "Opakovat", "Zrušit", "OK"};
    const std::vector<QString> english{"Yes", "No", "Retry", "Cancel", "OK"};
    const std::pair<const char*, const std::vector<QString>&> steps[] = {
        {"cesky.lng.xml", czech}, {"english.lng.xml", english}, {"cesky.lng.xml", czech}};
    bool started = false;
    for (const auto& [file, expected] : steps) {
        if (started) window.SwitchLanguage(kResources + "/" + file);
        else window.StartLanguage(kResources + "/" + file);
        started = true;
        captions.clear();
        for (const TMessageButtons buttons : {TMessageButtons::YesNo, TMessageButtons::RetryCancel, TMessageButtons::OK})
            ShowMessageBox(&window, {"", "", buttons, TMessageIcon::Question, TMessageAnswer::None});
        EXPECT_EQ(captions, expected) << file;
    }
    SetMessageBoxScript(nullptr);
    LanguageFile = kDefaultLanguageFile;
}
