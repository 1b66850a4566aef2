#pragma once

#include <cstddef>
#include <string>

namespace qubra {

// The whole file, refused (EBadFile) when it cannot be read or holds more than MaxBytes: a
// file named by mistake (a device node, an image) is not read in whole.
std::string ReadTextFile(const std::string& FileName, std::size_t MaxBytes);

} // namespace qubra
