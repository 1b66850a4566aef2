#include "model/TextValues.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "model/Exception.h"

namespace qubra {

namespace {

std::optional<double> TryStrToFloat(const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || std::isnan(value)) return std::nullopt;
    return value;
}

} // namespace

std::optional<std::int64_t> TryStrToInt64(const std::string& text)
{
    std::string_view digits = text;
    // from_chars takes no leading "+", which a typed number may carry.
    if (digits.starts_with('+')) {
        digits.remove_prefix(1);
        if (digits.starts_with('-')) return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::int64_t StrToInt64(const std::string& text)
{
    const auto value = TryStrToInt64(text);
    if (!value) throw EConvertError::InvalidInteger(text);
    return *value;
}

std::int32_t StrToInt(const std::string& text)
{
    const std::int64_t value = StrToInt64(text);
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw EConvertError::InvalidInteger(text);
    return static_cast<std::int32_t>(value);
}

bool StrToBool(const std::string& text)
{
    const std::string word = LowerCase(text);
    if (word == "true") return true;
    if (word == "false") return false;
    if (const auto number = TryStrToFloat(text)) return *number != 0;
    throw EConvertError::InvalidBoolean(text);
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace qubra
