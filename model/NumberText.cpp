#include "model/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "model/Exception.h"

namespace qubra {

namespace {

bool EqualsIgnoringCase(const std::string& text, const char* word)
{
    std::size_t i = 0;
    for (; word[i] != '\0'; ++i) {
        if (i >= text.size()) return false;
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != word[i]) return false;
    }
    return i == text.size();
}

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
    // from_chars takes no leading "+", which a typed number may carry.
    const std::size_t start = !text.empty() && text[0] == '+' ? 1 : 0;
    if (start < text.size() && text[start] == '-' && start == 1) return std::nullopt;
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data() + start, end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
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
    if (EqualsIgnoringCase(text, "true")) return true;
    if (EqualsIgnoringCase(text, "false")) return false;
    if (const auto number = TryStrToFloat(text)) return *number != 0;
    throw EConvertError::InvalidBoolean(text);
}

} // namespace qubra
