#include "cli/InputValues.h"

#include <algorithm>
#include <cctype>

#include "model/Exception.h"
#include "model/TextValues.h"

namespace qubra {

bool ReadBoolean(const std::string& Text)
{
    const std::string word = LowerCase(Text);
    if (word == "true" || word == "1")
        return true;
    if (word == "false" || word == "0")
        return false;
    throw EConvertError::InvalidBoolean(Text);
}

std::uint32_t ReadAddress(const std::string& Text)
{
    if (const std::optional<std::uint32_t> address = ParseIPText(Text))
        return *address;
    throw Exception("'" + Text + "' is not an IPv4 address (four numbers 0-255 without leading zeros)");
}

TMACAddress ReadMAC(const std::string& Text)
{
    if (const std::optional<TMACAddress> mac = ParseMACText(Text))
        return *mac;
    throw Exception("'" + Text + "' is not a MAC address (six hexadecimal pairs)");
}

TBytes ReadHex(const std::string& Text)
{
    const auto digits = std::count_if(Text.begin(), Text.end(), [](char c) {
        return HexSeparators.find(c) == std::string_view::npos;
    });
    const bool hex = std::all_of(Text.begin(), Text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) ||
               HexSeparators.find(c) != std::string_view::npos;
    });
    if (!hex || digits % 2 != 0)
        throw Exception("'" + Text + "' is not hexadecimal bytes (pairs of digits)");
    return HexToBytes(Text);
}

} // namespace qubra
