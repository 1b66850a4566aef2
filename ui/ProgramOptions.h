#pragma once

#include <string>
#include <vector>

#include "control/LinkSettings.h"

namespace qubra {

// The desktop program's options, for the simulated device and for unusual networks; without
// them the program keeps its designed port, broadcast address, time-out and language choice.
struct TProgramOptions {
    TLinkSettings Link;
    // Empty: the file lng.ini names.
    std::string LanguageFile;
};

inline constexpr const char* kProgramUsage =
    "usage: qubra232 [--port N] [--broadcast ADDR] [--timeout MS] [--lang FILE]\n";

// Reads the words after the program name; raises Exception naming the word that is wrong.
TProgramOptions ParseProgramOptions(const std::vector<std::string>& Words);

} // namespace qubra
