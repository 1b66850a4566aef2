#include "i18n/LanguageIni.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "i18n/Language.h"
#include "model/Exception.h"

namespace qubra {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPrefixLength = 6;  // "[LNG]="

bool IsWritableDirectory(const std::string& Directory)
{
    return !Directory.empty() && access(Directory.c_str(), W_OK) == 0;
}

bool Exists(const std::string& Path)
{
    std::error_code error;
    return fs::exists(Path, error);
}

} // namespace

TLanguageIni::TLanguageIni() : TLanguageIni(Language.Locator.ProgramDirectory, UserConfigDirectory())
{
}

TLanguageIni::TLanguageIni(std::string ProgramDirectory, std::string UserDirectory)
    : ProgramDirectory(std::move(ProgramDirectory)),
      UserDirectory(std::move(UserDirectory)),
      ProgramDirectoryWritable(IsWritableDirectory(this->ProgramDirectory))
{
}

std::string TLanguageIni::UserConfigDirectory()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && fs::path(config).is_absolute())
        return (fs::path(config) / "qubra232" / "").string();
    const char* home = std::getenv("HOME");
    if (home && *home)
        return (fs::path(home) / ".config" / "qubra232" / "").string();
    return {};
}

std::string TLanguageIni::ReadPath() const
{
    if (!ProgramDirectoryWritable && !UserDirectory.empty() && Exists(UserDirectory + kFileName))
        return UserDirectory + kFileName;
    return ProgramDirectory.empty() ? "" : ProgramDirectory + kFileName;
}

std::string TLanguageIni::Read() const
{
    const std::string path = ReadPath();
    std::ifstream file;
    if (!path.empty())
        file.open(path, std::ios::binary);
    std::string line;
    if (!file || !std::getline(file, line))
        return kDefaultLanguageFile;
    // Written with CR LF.
    if (line.ends_with('\r'))
        line.pop_back();
    return line.size() > kPrefixLength ? line.substr(kPrefixLength) : "";
}

void TLanguageIni::Write(const std::string& LanguageFileName) const
{
    const std::string& directory = ProgramDirectoryWritable ? ProgramDirectory : UserDirectory;
    std::ofstream file;
    if (!directory.empty()) {
        std::error_code ignored;  // a folder that cannot be made fails the open below
        fs::create_directories(directory, ignored);
        file.open(directory + kFileName, std::ios::binary | std::ios::trunc);
    }
    file << "[LNG]=" << LanguageFileName << "\r\n";
    file.close();
    if (!file)
        throw Exception("Can't save LNG file.");
}

} // namespace qubra
