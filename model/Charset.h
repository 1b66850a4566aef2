#pragma once

#include <string>

namespace qubra {

// Text fields of the records hold Windows-1250 bytes; the mapping document, the console and
// the windows speak UTF-8. A character that has no form on the other side: towards the user
// a replacement character, towards the record Exception.
std::string Cp1250ToUtf8(const std::string& Text);
std::string Utf8ToCp1250(const std::string& Text);

} // namespace qubra
