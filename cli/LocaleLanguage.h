#pragma once

#include <string>

namespace qubra {

// The language file that suits the user's locale: the Czech file for a Czech locale, the
// English one for any other. The locale is the first of LC_ALL, LC_MESSAGES and LANG that is
// set and not empty (nullptr: not set).
std::string LocaleLanguageFile(const char* LcAll, const char* LcMessages, const char* Lang);
// The same from this process's environment.
std::string LocaleLanguageFile();

} // namespace qubra
