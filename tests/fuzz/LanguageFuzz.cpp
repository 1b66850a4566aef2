// libFuzzer target: a language file as it is loaded - the `forms` walk over a tree of controls
// shaped like the program's windows, combo lists included - and every message key looked up.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/Language.h"
#include "tests/i18n/I18nTestSupport.h"

using namespace qubra;
using test::TFakeControl;

namespace {

// The controls an element names: a combo box when it has `items`, a container when it has
// further elements.
void AddControls(TFakeControl& Parent, const xmlNode* Element)
{
    for (const xmlNode* child : ChildElements(Element)) {
        if (NodeName(child) == "items")
            continue;
        const bool combo = FirstChildElement(child, "items") != nullptr;
        TFakeControl& control = Parent.Add(NodeName(child), !ChildElements(child).empty(), combo);
        AddControls(control, child);
    }
}

struct TWindows {
    TFakeControl Root{"root"};
    std::vector<std::string> Keys;

    TWindows()
    {
        const TXmlDocument english = TXmlDocument::ParseFile(QUBRA_ENGLISH_LANGUAGE);
        AddControls(Root, FirstChildElement(english.DocumentElement(), "forms"));
        for (const xmlNode* entry : ChildElements(FirstChildElement(english.DocumentElement(), "const")))
            Keys.push_back(NodeName(entry));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static TWindows windows;
    TLanguage language;
    language.ApplicationWindows = [] { return windows.Root.Children(); };
    try {
        language.UseDocument(TXmlDocument::Parse(std::string_view(reinterpret_cast<const char*>(Data), Size)));
        for (TControl* window : windows.Root.Children())
            language.TranslateForm(window);
    } catch (const Exception&) {
        // A property the control lacks ends the walk, as it ends loading.
    }
    for (const std::string& key : windows.Keys)
        language.GetText(key, "");
    return 0;
}
