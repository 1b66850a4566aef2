#include "i18n/ControlTranslator.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "model/Exception.h"
#include "model/Xml.h"

namespace qubra {

namespace {

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

void SetPropertyByAttribute(TControl& control, const std::string& attribute, const std::string& value)
{
    const std::vector<std::string> names = control.PropertyNames();
    const auto match = std::ranges::find_if(names, [&](const std::string& name) {
        return SameTextIgnoringCase(name, attribute);
    });
    if (match == names.end()) throw Exception("Property " + attribute + " does not exist");
    control.SetPropertyText(*match, value);
}

TControl* FindChildControl(const TControl& parent, const std::string& name)
{
    for (TControl* child : parent.Children())
        if (child && child->Name() == name) return child;
    return nullptr;
}

} // namespace

void TranslateComboItems(TControl* Combo, const xmlNode* Element)
{
    TComboItems* combo = Combo ? Combo->ComboItems() : nullptr;
    const xmlNode* items = FirstChildElement(Element, "items");
    if (!combo || !items) return;
    const int selected = combo->ItemIndex();
    std::vector<std::string> texts;
    for (const xmlNode* item : ChildElements(items))
        if (NodeName(item) == "item") texts.push_back(GetAttributeDef(item, "value", "<Error In Lng File>").AsText());
    combo->SetItems(texts);
    combo->SetItemIndex(selected >= 0 && selected < static_cast<int>(texts.size()) ? selected : -1);
}

void TranslateControl(TControl* Control, const xmlNode* Element)
{
    if (!Control || !Element) return;
    TranslateComboItems(Control, Element);
    for (const auto& [name, value] : Attributes(Element))
        SetPropertyByAttribute(*Control, name, value);
    if (!Control->CanHoldChildren()) return;
    for (const xmlNode* child : ChildElements(Element))
        TranslateControl(FindChildControl(*Control, NodeName(child)), child);
}

} // namespace qubra
