#include "model/Conversions.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

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

std::optional<std::uint32_t> ParseIPText(const std::string& text)
{
    std::uint32_t value = 0;
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at == end || *at++ != '.'))
            return std::nullopt;
        unsigned octet = 0;
        const auto [next, error] = std::from_chars(at, end, octet);
        const bool leadingZero = next - at > 1 && *at == '0';
        if (error != std::errc() || next - at > 3 || leadingZero || octet > 255)
            return std::nullopt;
        value |= octet << (8 * part);
        at = next;
    }
    if (at != end)
        return std::nullopt;
    return value;
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
