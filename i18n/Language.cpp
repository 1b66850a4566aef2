#include "i18n/Language.h"

#include "i18n/ControlTranslator.h"

namespace qubra {

TLanguage Language;
std::string LanguageFile = kDefaultLanguageFile;

void TLanguage::LoadLanguage(const std::string& FileName)
{
    const std::optional<std::string> path = Locator.Locate(FileName);
    if (!path) {
        if (OnMessage) OnMessage("Soubor s překladem:\"" + Locator.Expand(FileName) + "\" nenalezen!");
        return;
    }
    UseDocument(TXmlDocument::ParseFile(*path));
}

void TLanguage::UseDocument(TXmlDocument Document)
{
    FDocument = std::move(Document);
    if (OnLoaded) OnLoaded();
    for (const xmlNode* section : ChildElements(FDocument->DocumentElement()))
        if (NodeName(section) == "forms") ApplyForms(section);
}

void TLanguage::ApplyForms(const xmlNode* forms) const
{
    const std::vector<TControl*> windows = ApplicationWindows ? ApplicationWindows() : std::vector<TControl*>{};
    for (const xmlNode* node : ChildElements(forms)) {
        const std::string name = NodeName(node);
        for (TControl* window : windows) {
            if (window && window->Name() == name) {
                TranslateControl(window, node);
                break;
            }
        }
    }
}

void TLanguage::TranslateForm(TControl* Form) const
{
    if (!Form || !FDocument) return;
    const xmlNode* forms = FirstChildElement(FDocument->DocumentElement(), "forms");
    TranslateControl(Form, FirstChildElement(forms, Form->Name()));
}

std::string TLanguage::GetText(std::string_view Key, std::string_view Text) const
{
    const xmlNode* entry = nullptr;
    if (FDocument)
        entry = FirstChildElement(FirstChildElement(FDocument->DocumentElement(), "const"), std::string(Key));
    return GetAttributeDef(entry, "text", std::string(Text)).AsText();
}

std::string GetText(std::string_view Key, std::string_view Text) { return Language.GetText(Key, Text); }

std::string GetText(const TMessage& message) { return Language.GetText(message); }

} // namespace qubra
