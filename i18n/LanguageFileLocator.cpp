#include "i18n/LanguageFileLocator.h"

#include <filesystem>
#include <system_error>

namespace qubra {

namespace {

namespace fs = std::filesystem;

std::string DirectoryOfProgram()
{
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path()) return {};
    return (program.parent_path() / "").string();
}

// A directory or a device of that name would fail to parse or block the reader.
bool IsRegularFile(const std::string& path)
{
    std::error_code error;
    return !path.empty() && fs::is_regular_file(path, error);
}

} // namespace

TLanguageFileLocator::TLanguageFileLocator()
    : ProgramDirectory(DirectoryOfProgram()), DataDirectory(QUBRA_LANGUAGE_DATA_DIR)
{
}

std::string TLanguageFileLocator::Expand(const std::string& FileName) const
{
    if (FileName.starts_with('\\')) return ProgramDirectory + FileName.substr(1);
    return FileName;
}

std::optional<std::string> TLanguageFileLocator::Locate(const std::string& FileName) const
{
    const std::string expanded = Expand(FileName);
    if (IsRegularFile(expanded)) return expanded;
    if (expanded != FileName || FileName.empty() || fs::path(FileName).is_absolute()) return std::nullopt;
    for (const std::string& directory : {ProgramDirectory, DataDirectory})
        if (!directory.empty() && IsRegularFile(directory + FileName)) return directory + FileName;
    return std::nullopt;
}

} // namespace qubra
