#pragma once

#include <string>

namespace qubra {

// Text fields of the records hold Windows-1250 bytes; the mapping document, the console and
// the windows speak UTF-8. The bytes Windows-1250 leaves undefined (81, 83, 88, 90, 98) are
// the C1 controls of the same value, so every byte reads and writes back as itself. A
// character the record cannot hold raises Exception.
std::string Cp1250ToUtf8(const std::string& Text);
std::string Utf8ToCp1250(const std::string& Text);

} // namespace qubra
