#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "I18nTestSupport.h"
#include "i18n/Language.h"
#include "model/Exception.h"

using namespace qubra;
using namespace qubra::test;

namespace {

class LanguageTest : public testing::Test {
protected:
    TTempDir Dir;
    TFakeControl Main{"fQUBRA"};
    TFakeControl& Panel = Main.Add("pnlMain", true);
    TFakeControl& Label = Panel.Add("lblTitle");
    TFakeControl& Combo = Panel.Add("ComboBox8", false, true);
    TFakeControl Wizard{"fSetIPWiz"};
    TLanguage Language;
    std::vector<std::string> Shown;
    std::filesystem::path OldWorkingDirectory = std::filesystem::current_path();

    void SetUp() override
    {
        Language.Locator.ProgramDirectory = Dir.Path + "program/";
        Language.Locator.DataDirectory = Dir.Path + "data/";
        Language.OnMessage = [this](const std::string& text) { Shown.push_back(text); };
        Language.ApplicationWindows = [this] { return std::vector<TControl*>{&Main, &Wizard}; };
    }
    void TearDown() override { std::filesystem::current_path(OldWorkingDirectory); }

    static std::string File(const std::string& body)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><language name=\"x\">" + body + "</language>";
    }
    void Load(const std::string& body) { Language.LoadLanguage(Dir.Write("test.lng.xml", File(body))); }
};

TEST_F(LanguageTest, LookupUsesTheFirstConstSectionAndFallsBackToTheBuiltInText)
{
    EXPECT_EQ(Language.GetText(msgKomunikace), "Komunikace...");
    Load("<forms/><const><Komunikace text=\"Talking...\"/><z text=\"\"/><Varování/></const>"
         "<const><Upozornění text=\"Second\"/></const>");
    EXPECT_EQ(Language.GetText(msgKomunikace), "Talking...");
    EXPECT_EQ(Language.GetText(msgZ), "");
    EXPECT_EQ(Language.GetText(msgVarovani), "Varování");
    EXPECT_EQ(Language.GetText(msgUpozorneni), "Upozornění");
    EXPECT_EQ(Language.GetText("komunikace", "case counts"), "case counts");
    Load("<forms/>");
    EXPECT_EQ(Language.GetText(msgKomunikace), "Komunikace...");

    // the process-wide lookup follows the process-wide language; one entry serves every text of its key
    qubra::Language.LoadLanguage(Dir.Write("g.lng.xml", File("<const><Zařízenínebylo text=\"Not found\"/></const>")));
    EXPECT_EQ(GetText(msgZarizeniNebyloExclamation), "Not found");
    EXPECT_EQ(GetText(msgZarizeniNebylo1), "Zařízení nebylo nalezeno");
}

TEST_F(LanguageTest, LoadTranslatesEveryFormsSectionTranslateFormOnlyTheFirst)
{
    Load("<forms><fQUBRA caption=\"Main\"><pnlMain><lblTitle Caption=\"Title\" HINT=\"Tip\"/></pnlMain>"
         "<lblTitle caption=\"wrong parent\"/><pnlmain><lblTitle caption=\"wrong case\"/></pnlmain></fQUBRA>"
         "<fSetIPWiz caption=\"Wizard 1\"/></forms>"
         "<forms><fSetIPWiz caption=\"Wizard 2\" hint=\"Assign\"/><fMissing caption=\"x\"/></forms>");
    EXPECT_EQ(Main.Properties["Caption"], "Main");
    EXPECT_EQ(Label.Properties, (std::map<std::string, std::string>{{"Caption", "Title"}, {"Hint", "Tip"}}));
    EXPECT_EQ(Wizard.Properties, (std::map<std::string, std::string>{{"Caption", "Wizard 2"}, {"Hint", "Assign"}}));

    TFakeControl lateWizard("fSetIPWiz");
    Language.TranslateForm(&lateWizard);
    EXPECT_EQ(lateWizard.Properties, (std::map<std::string, std::string>{{"Caption", "Wizard 1"}, {"Hint", ""}}));
}

TEST_F(LanguageTest, ComboListIsReplacedAndKeepsItsSelectionWhileItExists)
{
    const auto translate = [this](const std::string& items) {
        Combo.Items = {"a", "b", "c"};
        Combo.Selected = 1;
        Load("<forms><fQUBRA><pnlMain><ComboBox8>" + items + "</ComboBox8></pnlMain></fQUBRA></forms>");
    };
    translate("<items><item value=\"one\"/><other value=\"x\"/><item/></items>");
    EXPECT_EQ(Combo.Items, (std::vector<std::string>{"one", "<Error In Lng File>"}));
    EXPECT_EQ(Combo.Selected, 1);
    translate("<items><item value=\"only\"/></items><items/>");
    EXPECT_EQ(Combo.Items, std::vector<std::string>{"only"});
    EXPECT_EQ(Combo.Selected, -1);
    translate("");
    EXPECT_EQ(Combo.Items, (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(LanguageTest, UnknownPropertyStopsTheWalkWithTheNewDocumentInPlace)
{
    try {
        Load("<forms><fQUBRA caption=\"Main\" colour=\"red\" hint=\"late\"/></forms><const><z text=\"of\"/></const>");
        ADD_FAILURE() << "an unknown property was accepted";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Property colour does not exist");
    }
    EXPECT_EQ(Main.Properties, (std::map<std::string, std::string>{{"Caption", "Main"}, {"Hint", ""}}));
    EXPECT_EQ(Language.GetText(msgZ), "of");
}

TEST_F(LanguageTest, BadFilesFailQuicklyAndChangeNothing)
{
    Load("<const><z text=\"before\"/></const>");
    std::string laughs = "<!DOCTYPE l [<!ENTITY a0 \"haha\">";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) laughs += "&a" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    std::string deep = "<l><forms><fQUBRA>";
    for (int i = 0; i < 100000; ++i) deep += "<pnlMain>";
    const auto started = std::chrono::steady_clock::now();
    for (const std::string& content : {laughs + "]><l><forms><fQUBRA caption=\"&a9;\"/></forms></l>", deep,
                                       std::string("lng=english"), std::string(), File("<const>"),
                                       std::string(4'000'000, '<')}) {
        EXPECT_THROW(Language.LoadLanguage(Dir.Write("bad.lng.xml", content)), Exception);
        EXPECT_EQ(Language.GetText(msgZ), "before");
        EXPECT_EQ(Main.Properties["Caption"], "");
    }
    std::string large = "<const>";
    while (large.size() < 4'000'000) large += "<Unused" + std::to_string(large.size()) + " text=\"filler\"/>";
    Load(large + "<z text=\"of\"/></const>");
    EXPECT_EQ(Language.GetText(msgZ), "of");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST_F(LanguageTest, FileIsSoughtInWorkingThenProgramThenDataDirectory)
{
    for (const std::string folder : {"work", "program", "data"})
        Dir.Write(folder + "/x.lng.xml", File("<const><z text=\"" + folder + "\"/></const>"));
    std::filesystem::current_path(Dir.Path + "work");
    const auto found = [this](const std::string& name) {
        Language.LoadLanguage(name);
        return Language.GetText(msgZ);
    };
    EXPECT_EQ(found("\\x.lng.xml"), "program");  // a leading "\" names the program's directory only
    EXPECT_EQ(found("x.lng.xml"), "work");
    std::filesystem::remove(Dir.Path + "work/x.lng.xml");
    std::filesystem::create_directory(Dir.Path + "work/x.lng.xml");  // a folder is no language file
    EXPECT_EQ(found("x.lng.xml"), "program");
    std::filesystem::remove(Dir.Path + "program/x.lng.xml");
    EXPECT_EQ(found("x.lng.xml"), "data");
    EXPECT_TRUE(Shown.empty());

    EXPECT_EQ(found("\\x.lng.xml"), "data");  // a missing file leaves the last one in place
    EXPECT_EQ(found(Dir.Path + "elsewhere/x.lng.xml"), "data");
    std::filesystem::remove(Dir.Path + "data/x.lng.xml");
    EXPECT_EQ(found("x.lng.xml"), "data");
    EXPECT_EQ(Shown, (std::vector<std::string>{"Soubor s překladem:\"" + Dir.Path + "program/x.lng.xml\" nenalezen!",
                                               "Soubor s překladem:\"" + Dir.Path + "elsewhere/x.lng.xml\" nenalezen!",
                                               "Soubor s překladem:\"x.lng.xml\" nenalezen!"}));
}

} // namespace
