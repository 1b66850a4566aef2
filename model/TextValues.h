#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qubra {

// Decimal integers with an optional sign, nothing else around them.
std::optional<std::int64_t> TryStrToInt64(const std::string& text);
// As TryStrToInt64; a text that is no such integer raises "'%s' is not a valid integer value".
std::int64_t StrToInt64(const std::string& text);
// As StrToInt64, and the number must fit in 32 signed bits.
std::int32_t StrToInt(const std::string& text);
// "True"/"False" in any letter case, or a number (non-zero is true); anything else raises
// "'%s' is not a valid boolean value".
bool StrToBool(const std::string& text);
// ASCII letters to lower case; other bytes stay as they are.
std::string LowerCase(std::string text);

} // namespace qubra
