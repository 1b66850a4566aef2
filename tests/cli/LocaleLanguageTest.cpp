// Which language file the user's locale picks when none is given.
#include <gtest/gtest.h>

#include "cli/LocaleLanguage.h"

using namespace qubra;

TEST(LocaleLanguage, TheFirstLocaleVariableSetDecides)
{
    struct TCase {
        const char* LcAll;
        const char* LcMessages;
        const char* Lang;
        const char* File;
    };
    const TCase cases[] = {
        {nullptr, nullptr, "cs_CZ.UTF-8", "cesky.lng.xml"},
        {"cs_CZ.UTF-8", "en_US.UTF-8", "en_US.UTF-8", "cesky.lng.xml"},
        {"C", nullptr, "cs_CZ.UTF-8", "english.lng.xml"},
        {nullptr, "en_GB.UTF-8", "cs_CZ.UTF-8", "english.lng.xml"},
        // An empty variable counts as unset.
        {"", "cs_CZ", "en_US.UTF-8", "cesky.lng.xml"},
        {"", "", "", "english.lng.xml"},
        {nullptr, nullptr, nullptr, "english.lng.xml"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(LocaleLanguageFile(c.LcAll, c.LcMessages, c.Lang), c.File)
            << (c.LcAll ? c.LcAll : "-") << " " << (c.LcMessages ? c.LcMessages : "-") << " "
            << (c.Lang ? c.Lang : "-");
}

TEST(LocaleLanguage, OnlyCzechLocaleNamesCountAsCzech)
{
    for (const char* czech : {"cs", "cs_CZ", "cs_CZ.UTF-8", "cs_CZ.ISO-8859-2", "cs.UTF-8", "cs@euro"})
        EXPECT_EQ(LocaleLanguageFile(nullptr, nullptr, czech), "cesky.lng.xml") << czech;
    // Kashubian begins with the same letters; C and POSIX are no language.
    for (const char* other : {"csb_PL.UTF-8", "C.UTF-8", "POSIX", "sk_SK.UTF-8", "en_CS"})
        EXPECT_EQ(LocaleLanguageFile(nullptr, nullptr, other), "english.lng.xml") << other;
}
