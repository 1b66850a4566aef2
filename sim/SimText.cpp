#include "sim/SimText.h"

#include <arpa/inet.h>

#include <cstdio>

namespace qubra {

std::uint32_t SimTextToIP(const std::string& text)
{
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1)
        throw ESimError("not an IPv4 address: '" + text + "'");
    return address.s_addr;
}

std::string SimIPToText(std::uint32_t ip)
{
    in_addr address{};
    address.s_addr = ip;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

TSimMAC SimTextToMAC(const std::string& text)
{
    TSimMAC mac{};
    const ESimError bad("not a MAC address: '" + text + "'");
    if (text.size() != 17)
        throw bad;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * 3;
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0)
            throw bad;
        if (i + 1 < mac.size() && text[at + 2] != '-' && text[at + 2] != ':')
            throw bad;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return mac;
}

std::string SimMACToText(const TSimMAC& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

std::string SimHex(const TBytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

} // namespace qubra
