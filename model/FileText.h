#pragma once

#include <cstddef>
#include <string>

#include "model/Exception.h"

namespace qubra {

// What the files from outside (mappings, language, setup and plan files) may hold at most: a
// file larger than its limit is refused before it is parsed.
constexpr std::size_t MaxInputFileSize = 16u << 20;

// A file larger than the limit its reader sets.
class EFileTooLarge : public Exception {
public:
    using Exception::Exception;
};

// The whole content of the file. Reads at most MaxSize + 1 bytes, so a file that grows, a pipe
// or a device cannot make it read more: more than MaxSize raises EFileTooLarge ("FILE: larger
// than N MB"), a file that cannot be opened or read raises Exception
// ("failed to load \"FILE\": reason").
std::string ReadFileText(const std::string& FileName, std::size_t MaxSize = MaxInputFileSize);

} // namespace qubra
