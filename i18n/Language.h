#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/Control.h"
#include "i18n/LanguageFileLocator.h"
#include "i18n/Messages.h"
#include "model/Xml.h"

namespace qubra {

// The loaded language file: window texts from its `forms` sections, message texts from its
// `const` section by key, the built-in text wherever the file says nothing.
class TLanguage {
public:
    // Shows a plain message to the user (the missing-file notice); unset shows nothing.
    std::function<void(const std::string& text)> OnMessage;
    // Called once a load made its file the Document, before the windows are translated.
    std::function<void()> OnLoaded;
    // The windows owned by the application at this moment, translated by LoadLanguage.
    std::function<std::vector<TControl*>()> ApplicationWindows;
    // Where language file names are looked up.
    TLanguageFileLocator Locator;

    // The parsed language file; nullptr until a load succeeds.
    const TXmlDocument* Document() const { return FDocument ? &*FDocument : nullptr; }

    // Loads the file, makes it the Document and translates the application's windows from
    // every `forms` section. A missing file is reported through OnMessage and changes nothing;
    // a file that does not parse throws the parser's error and changes nothing.
    // A file larger than MaxInputFileSize is refused with EFileTooLarge.
    void LoadLanguage(const std::string& FileName);
    // Makes the parsed file the Document and translates the windows, as LoadLanguage does.
    void UseDocument(TXmlDocument Document);
    // Translates one window from the first `forms` section of the Document.
    void TranslateForm(TControl* Form) const;
    // The translation of a message key, or Text when the Document has none.
    std::string GetText(std::string_view Key, std::string_view Text) const;
    std::string GetText(const TMessage& message) const { return GetText(message.Key, message.Text); }

private:
    void ApplyForms(const xmlNode* forms) const;

    std::optional<TXmlDocument> FDocument;
};

// The language file used when none was chosen.
inline constexpr const char* kDefaultLanguageFile = "cesky.lng.xml";

// The process-wide language, and the name of the current language file.
extern TLanguage Language;
extern std::string LanguageFile;

std::string GetText(std::string_view Key, std::string_view Text);
std::string GetText(const TMessage& message);

} // namespace qubra
