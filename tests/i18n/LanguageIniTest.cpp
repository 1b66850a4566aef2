#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "i18n/LanguageIni.h"
#include "model/Exception.h"
#include "tests/i18n/I18nTestSupport.h"

using namespace qubra;
using qubra::test::TTempDir;

namespace {

std::string Content(const std::string& Path)
{
    std::ifstream file(Path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

// A folder nobody can write into, root included: its parent is a regular file.
std::string UnwritableFolder(const TTempDir& Dir)
{
    return Dir.Write("plain-file", "") + "/folder/";
}

TEST(LanguageIni, FirstLineFromItsSeventhCharacterWrittenWithCRLF)
{
    TTempDir program;
    TLanguageIni ini(program.Path, "");
    ASSERT_TRUE(ini.ProgramDirectoryWritable);
    EXPECT_EQ(ini.Read(), "cesky.lng.xml") << "no file yet";

    ini.Write("english.lng.xml");
    EXPECT_EQ(Content(program.Path + "lng.ini"), "[LNG]=english.lng.xml\r\n");
    EXPECT_EQ(ini.Read(), "english.lng.xml");

    const std::pair<const char*, const char*> cases[] = {
        {"XXXXXXmy.lng.xml\nsecond line", "my.lng.xml"},  // the first six are not compared
        {"[LNG]=\\english.lng.xml", "\\english.lng.xml"},
        {"[LNG]", ""},                                     // too short: an empty name
        {"[LNG]=\r\n", ""},
        {"", "cesky.lng.xml"},                             // nothing to read
    };
    for (const auto& [content, name] : cases) {
        program.Write("lng.ini", content);
        EXPECT_EQ(ini.Read(), name) << content;
    }
}

TEST(LanguageIni, AnUnwritableProgramFolderSendsTheFileToTheUsersFolder)
{
    TTempDir program, user;
    program.Write("lng.ini", "[LNG]=installed.lng.xml\r\n");
    const std::string userFolder = user.Path + "config/qubra232/";

    // A writable program folder keeps the file beside the program, whatever the user has.
    TLanguageIni beside(program.Path, userFolder);
    user.Write("config/qubra232/lng.ini", "[LNG]=users.lng.xml\r\n");
    EXPECT_EQ(beside.Read(), "installed.lng.xml");
    std::filesystem::remove_all(user.Path + "config");

    TLanguageIni installed(program.Path, userFolder);
    installed.ProgramDirectoryWritable = false;
    EXPECT_EQ(installed.Read(), "installed.lng.xml") << "read beside the program until the user chose";
    installed.Write("english.lng.xml");
    EXPECT_EQ(Content(userFolder + "lng.ini"), "[LNG]=english.lng.xml\r\n") << "the folder is made";
    EXPECT_EQ(Content(program.Path + "lng.ini"), "[LNG]=installed.lng.xml\r\n");
    EXPECT_EQ(installed.Read(), "english.lng.xml");

    // Checked on the real folder: nothing can be created under a regular file.
    TLanguageIni unwritable(UnwritableFolder(program), userFolder);
    EXPECT_FALSE(unwritable.ProgramDirectoryWritable);
    EXPECT_EQ(unwritable.Read(), "english.lng.xml");
}

TEST(LanguageIni, NoWritableFolderFailsWithTheDesignedText)
{
    TTempDir dir;
    for (const std::string& user : {UnwritableFolder(dir), std::string()}) {
        TLanguageIni ini(UnwritableFolder(dir), user);
        try {
            ini.Write("english.lng.xml");
            ADD_FAILURE() << "written to " << user;
        } catch (const Exception& error) {
            EXPECT_STREQ(error.what(), "Can't save LNG file.");
        }
        EXPECT_EQ(ini.Read(), "cesky.lng.xml");
    }
}

// Sets an environment variable for its lifetime.
class TScopedEnv {
public:
    TScopedEnv(const char* Name, const char* Value) : FName(Name)
    {
        if (const char* old = getenv(Name))
            FOld = old;
        Value ? setenv(Name, Value, 1) : unsetenv(Name);
    }
    ~TScopedEnv() { FOld ? setenv(FName, FOld->c_str(), 1) : unsetenv(FName); }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

TEST(LanguageIni, UsersFolderFollowsXdgConfigHome)
{
    TScopedEnv home("HOME", "/home/tester");
    {
        TScopedEnv config("XDG_CONFIG_HOME", "/etc/tester");
        EXPECT_EQ(TLanguageIni::UserConfigDirectory(), "/etc/tester/qubra232/");
    }
    for (const char* ignored : {"relative/config", "", static_cast<const char*>(nullptr)}) {
        TScopedEnv config("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(TLanguageIni::UserConfigDirectory(), "/home/tester/.config/qubra232/");
    }
    TScopedEnv config("XDG_CONFIG_HOME", nullptr);
    TScopedEnv noHome("HOME", nullptr);
    EXPECT_EQ(TLanguageIni::UserConfigDirectory(), "");
}

} // namespace
