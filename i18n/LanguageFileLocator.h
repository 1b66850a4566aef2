#pragma once

#include <optional>
#include <string>

namespace qubra {

// Finds a language file by the name the user chose. A leading "\" stands for the program's
// directory. Any other relative name is tried in the working directory, then beside the
// program, then in the installed data folder: a program started from a desktop menu runs in
// the home folder, where the installed files are not.
class TLanguageFileLocator {
public:
    // Both end with a separator.
    std::string ProgramDirectory;
    std::string DataDirectory;

    TLanguageFileLocator();

    // The name with a leading "\" replaced by the program's directory.
    std::string Expand(const std::string& FileName) const;
    // The path of the file to read; none when no regular file of that name is found.
    std::optional<std::string> Locate(const std::string& FileName) const;
};

} // namespace qubra
