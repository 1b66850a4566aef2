#include "model/Conversions.h"

#include <arpa/inet.h>

#include <algorithm>
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

bool StrToMAC(const std::string& text, std::uint8_t* dest)
{
    const TBytes bytes = HexToBytes(text);
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 6), dest);
    return bytes.size() == 6;
}

std::uint32_t BitMask(int count, int shift)
{
    const std::uint32_t mask = count >= 32 ? 0xFFFFFFFFu : count <= 0 ? 0u : (1u << count) - 1u;
    return mask << (static_cast<unsigned>(shift) % 32u);
}

} // namespace qubra
