#include "cli/TextFile.h"

#include <fstream>
#include <iterator>

#include "cli/SetupFile.h"

namespace qubra {

std::string ReadTextFile(const std::string& FileName, std::size_t MaxBytes)
{
    std::ifstream file(FileName, std::ios::binary);
    if (!file)
        throw EBadFile(FileName + ": cannot be read");
    std::string text;
    char chunk[8192];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (text.size() > MaxBytes)
            throw EBadFile(FileName + ": larger than " + std::to_string(MaxBytes) + " bytes");
    }
    if (file.bad())
        throw EBadFile(FileName + ": cannot be read");
    return text;
}

} // namespace qubra
