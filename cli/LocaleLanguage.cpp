#include "cli/LocaleLanguage.h"

#include <cstdlib>
#include <string_view>

#include "i18n/Language.h"

namespace qubra {

namespace {

constexpr const char* kEnglishLanguageFile = "english.lng.xml";

// "cs", "cs_CZ", "cs_CZ.UTF-8", "cs@euro"; not "csb_PL", which is another language.
bool IsCzech(std::string_view Locale)
{
    return Locale.starts_with("cs") &&
           (Locale.size() == 2 || Locale[2] == '_' || Locale[2] == '.' || Locale[2] == '@');
}

} // namespace

std::string LocaleLanguageFile(const char* LcAll, const char* LcMessages, const char* Lang)
{
    for (const char* value : {LcAll, LcMessages, Lang})
        if (value != nullptr && *value != '\0')
            return IsCzech(value) ? kDefaultLanguageFile : kEnglishLanguageFile;
    return kEnglishLanguageFile;
}

std::string LocaleLanguageFile()
{
    return LocaleLanguageFile(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

} // namespace qubra
