#include "model/Conversions.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include "model/Exception.h"

namespace qubra {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

TBytes HexToBytes(const std::string& text, std::string_view separators)
{
    std::string digits;
    digits.reserve(text.size());
    for (char c : text)
        if (separators.find(c) == std::string_view::npos) digits.push_back(c);

    TBytes bytes(digits.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigit(digits[2 * i]);
        const int low = HexDigit(digits[2 * i + 1]);
        if (high < 0 || low < 0)
            throw EConvertError::InvalidInteger("$" + digits.substr(2 * i, 2));
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return bytes;
}

std::string BytesToHex(const TBytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 0x0F]);
    }
    return text;
}

std::string IPToStr(std::uint32_t value)
{
    return std::to_string(value & 0xFF) + "." + std::to_string((value >> 8) & 0xFF) + "." +
           std::to_string((value >> 16) & 0xFF) + "." + std::to_string((value >> 24) & 0xFF);
}

std::uint32_t StrToIP(const std::string& text)
{
    // An embedded NUL would let inet_addr accept a prefix of the text.
    if (text.find('\0') != std::string::npos) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(inet_addr(text.c_str()));
}

std::optional<std::uint32_t> ParseIPText(const std::string& text, TIPForms forms)
{
    std::vector<std::uint32_t> parts;
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (;;) {
        std::uint32_t part = 0;
        const auto [next, error] = std::from_chars(at, end, part);
        const bool leadingZero = next - at > 1 && *at == '0';
        if (error != std::errc() || leadingZero)
            return std::nullopt;
        parts.push_back(part);
        at = next;
        if (at == end || parts.size() == 4 || *at != '.')
            break;
        ++at;
    }
    const std::size_t count = parts.size();
    if (at != end || (forms == TIPForms::Dotted && count != 4))
        return std::nullopt;
    // Every part but the last is one byte; the last fills the bytes that are left.
    std::uint32_t value = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (parts[i] > 255)
            return std::nullopt;
        value |= parts[i] << (8 * i);
    }
    const std::size_t lastBytes = 5 - count;
    const std::uint32_t last = parts.back();
    if (lastBytes < 4 && last >> (8 * lastBytes) != 0)
        return std::nullopt;
    // The last part is written most significant byte first, as the address reads.
    for (std::size_t i = 0; i < lastBytes; ++i)
        value |= ((last >> (8 * (lastBytes - 1 - i))) & 0xFF) << (8 * (count - 1 + i));
    return value;
}

bool IsDeviceAddress(std::uint32_t value)
{
    const std::uint32_t first = value & 0xFF;
    return first != 0 && first < 224;
}

bool IsZeroMAC(const TMACAddress& mac)
{
    return std::all_of(mac.begin(), mac.end(), [](std::uint8_t byte) { return byte == 0; });
}

std::string MACToStr(const std::uint8_t* bytes)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", bytes[0], bytes[1], bytes[2],
                  bytes[3], bytes[4], bytes[5]);
    return text;
}

std::string MACToStr(const TBytes& bytes)
{
    std::uint8_t mac[6] = {};
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 6), mac);
    return MACToStr(mac);
}

std::string MACToStr(const TMACAddress& mac)
{
    return MACToStr(mac.data());
}

bool StrToMAC(const std::string& text, std::uint8_t* dest)
{
    const TBytes bytes = HexToBytes(text);
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 6), dest);
    return bytes.size() == 6;
}

std::optional<TMACAddress> ParseMACText(const std::string& text)
{
    TMACAddress mac{};
    const auto digits = std::count_if(text.begin(), text.end(), [](char c) {
        return MACSeparators.find(c) == std::string_view::npos;
    });
    if (digits != 2 * static_cast<long>(mac.size()))
        return std::nullopt;
    try {
        const TBytes bytes = HexToBytes(text, MACSeparators);
        std::copy(bytes.begin(), bytes.end(), mac.begin());
    } catch (const EConvertError&) {
        return std::nullopt;
    }
    return mac;
}

std::uint32_t BitMask(int count, int shift)
{
    const std::uint32_t mask = count >= 32 ? 0xFFFFFFFFu : count <= 0 ? 0u : (1u << count) - 1u;
    return mask << (static_cast<unsigned>(shift) % 32u);
}

} // namespace qubra
