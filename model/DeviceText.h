#pragma once

#include <string>

namespace qubra {

// Text fields of the device hold Windows-1250 bytes; the program's own texts are UTF-8. A
// character that has no form on the other side: towards the user a replacement character,
// towards the device Exception ("'<text>' cannot be written in Windows-1250").
std::string Cp1250ToUtf8(const std::string& Text);
std::string Utf8ToCp1250(const std::string& Text);

} // namespace qubra
