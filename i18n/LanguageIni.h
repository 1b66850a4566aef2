#pragma once

#include <string>

namespace qubra {

// lng.ini: one line, "[LNG]=" and the name of the chosen language file. It lies beside the
// program; when the program's folder cannot be written (an installed program), it is kept in
// the user's configuration folder instead, and read from there first.
class TLanguageIni {
public:
    static constexpr const char* kFileName = "lng.ini";

    // Both end with a separator; empty when unknown (no home folder).
    std::string ProgramDirectory;
    std::string UserDirectory;
    // lng.ini may be written beside the program.
    bool ProgramDirectoryWritable;

    // The program's folder and UserConfigDirectory(); writability is checked now.
    TLanguageIni();
    TLanguageIni(std::string ProgramDirectory, std::string UserDirectory);

    // $XDG_CONFIG_HOME/qubra232/, or ~/.config/qubra232/ when that is unset or not absolute.
    static std::string UserConfigDirectory();

    // The language file chosen: the first line of the file from its seventh character on (the
    // first six are not compared); kDefaultLanguageFile when there is no file or it cannot be
    // read.
    std::string Read() const;
    // Replaces the file by the one line, creating the user's folder when that is where it goes;
    // raises "Can't save LNG file." when it cannot be written.
    void Write(const std::string& LanguageFileName) const;

private:
    // Empty when no folder is known.
    std::string ReadPath() const;
};

} // namespace qubra
