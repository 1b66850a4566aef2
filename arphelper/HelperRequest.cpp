#include "arphelper/HelperRequest.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>

#include <linux/rtnetlink.h>

#include "net/ARPHelperProtocol.h"

namespace qubra::arphelper {

namespace {

TRefusal Refuse(int Code, std::string Text)
{
    return {Code, std::move(Text)};
}

// Splits at single blanks; false on any other layout (double, leading or trailing blanks).
bool SplitWords(std::string_view Text, std::vector<std::string_view>& Words)
{
    for (std::size_t start = 0;;) {
        const std::size_t end = Text.find(' ', start);
        const std::string_view word = Text.substr(start, end - start);
        if (word.empty() || Words.size() == 5)
            return false;
        Words.push_back(word);
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

// Decimal digits without a leading zero, Low ... High.
bool ParseNumber(std::string_view Text, int Low, int High, int& Value)
{
    if (Text.empty() || Text.size() > 10 || (Text.size() > 1 && Text[0] == '0'))
        return false;
    long long value = 0;
    for (const char c : Text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < Low || value > High)
        return false;
    Value = static_cast<int>(value);
    return true;
}

bool ParseIP(std::string_view Text, std::uint32_t& IP)
{
    std::uint32_t ip = 0;
    for (int octet = 0; octet < 4; ++octet) {
        const std::size_t dot = octet < 3 ? Text.find('.') : Text.size();
        int value;
        if (dot == std::string_view::npos || !ParseNumber(Text.substr(0, dot), 0, 255, value))
            return false;
        ip |= static_cast<std::uint32_t>(value) << (8 * octet);
        Text.remove_prefix(octet < 3 ? dot + 1 : dot);
    }
    IP = ip;
    return true;
}

bool ParseMAC(std::string_view Text, std::array<std::uint8_t, 6>& MAC)
{
    if (Text.size() != 17)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0 && Text[3 * i - 1] != ':')
            return false;
        const char* first = Text.data() + 3 * i;
        std::uint8_t byte = 0;
        if (!std::isxdigit(static_cast<unsigned char>(first[0])) ||
            !std::isxdigit(static_cast<unsigned char>(first[1])) ||
            std::from_chars(first, first + 2, byte, 16).ptr != first + 2)
            return false;
        MAC[i] = byte;
    }
    return true;
}

std::uint32_t HostOrder(std::uint32_t IP)
{
    return __builtin_bswap32(IP);
}

} // namespace

std::string AddressText(std::uint32_t IP)
{
    return std::to_string(IP & 0xFF) + "." + std::to_string(IP >> 8 & 0xFF) + "." +
           std::to_string(IP >> 16 & 0xFF) + "." + std::to_string(IP >> 24);
}

std::string MACText(const std::array<std::uint8_t, 6>& MAC)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : MAC) {
        if (!text.empty())
            text += ':';
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

namespace {

// What stands at an address that is not the tool's to take or remove.
TRefusal ForeignRefusal(const std::string& Address, const TTarget& Target)
{
    switch (Target.Entry) {
    case TTarget::TEntry::Live:
        return Refuse(EADDRINUSE, Address + " is answered by the station " + MACText(Target.StationMAC) +
                                      "; its address is not the tool's to take");
    case TTarget::TEntry::Static:
        return Refuse(EACCES, Address + " has a static entry that the tool did not make; it is left alone");
    case TTarget::TEntry::Marked:
        return Refuse(EBUSY, Address + " is held by another request");
    default:
        return {};
    }
}

} // namespace

TRefusal ParseRequest(std::string_view Line, THelperRequest& Request)
{
    const TRefusal bad = Refuse(EINVAL, "malformed request");
    if (Line.size() < 2 || Line.size() > static_cast<std::size_t>(kARPHelperLineLimit) ||
        Line.back() != '\n')
        return bad;
    Line.remove_suffix(1);
    std::vector<std::string_view> words;
    if (!SplitWords(Line, words))
        return bad;
    THelperRequest request;
    if (words[0] == "hold" && words.size() == 5)
        request.Kind = THelperRequest::TKind::Hold;
    else if (words[0] == "delete" && words.size() == 3)
        request.Kind = THelperRequest::TKind::Delete;
    else
        return bad;
    if (!ParseNumber(words[1], 1, INT32_MAX, request.IfIndex) || !ParseIP(words[2], request.IP))
        return bad;
    if (request.Kind == THelperRequest::TKind::Hold) {
        if (!ParseMAC(words[3], request.MAC) || !ParseNumber(words[4], 0, INT32_MAX, request.HoldSeconds))
            return bad;
        if (request.HoldSeconds < 1 || request.HoldSeconds > kARPHelperHoldLimitSeconds)
            return Refuse(EINVAL, "a hold of " + std::string(words[4]) + " s is beyond the limit of " +
                                      std::to_string(kARPHelperHoldLimitSeconds) + " s");
        if (request.MAC == std::array<std::uint8_t, 6>{})
            return Refuse(EINVAL, "the MAC address 00:00:00:00:00:00 belongs to no station");
        if (request.MAC[0] & 1)
            return Refuse(EINVAL, "the MAC address " + std::string(words[3]) +
                                      " is a group address (multicast or broadcast), not a station's");
    }
    Request = request;
    return {};
}

TRefusal CheckHold(const THelperRequest& Request, const TTarget& Target)
{
    const std::string address = AddressText(Request.IP);
    const std::uint32_t first = Request.IP & 0xFF;
    if (first == 0 || first >= 224)
        return Refuse(EINVAL, address + " is no station's address (zero, multicast or broadcast)");
    if (first == 127 || Target.RouteType == RTN_LOCAL)
        return Refuse(EADDRINUSE, address + " is an address of this host");
    for (const TTarget::TSubnet& subnet : Target.LinkSubnets) {
        if (subnet.PrefixLength < 1 || subnet.PrefixLength > 30)
            continue; // /31 and /32 have no network or broadcast address
        const std::uint32_t hostMask = 0xFFFFFFFFu >> subnet.PrefixLength;
        const std::uint32_t ip = HostOrder(Request.IP);
        if ((ip & ~hostMask) != (HostOrder(subnet.IP) & ~hostMask))
            continue;
        if ((ip & hostMask) == 0)
            return Refuse(EINVAL, address + " is the network address of the interface's subnet");
        if ((ip & hostMask) == hostMask)
            return Refuse(EINVAL, address + " is the broadcast address of the interface's subnet");
    }
    if (Target.RouteType != RTN_UNICAST && Target.RouteType != RTN_UNSPEC)
        return Refuse(EINVAL, address + " is routed as a broadcast or other non-station address");
    if (!Target.LinkDoesARP)
        return Refuse(EOPNOTSUPP, "interface " + std::to_string(Request.IfIndex) + " does not use ARP");
    if (Target.Gateway)
        return Refuse(EADDRINUSE, address + " is the gateway of a route; its address is not the tool's to take");
    // A live entry of the device's own MAC is the device answering at its new address already.
    if (Target.Entry == TTarget::TEntry::Live && Target.StationMAC == Request.MAC)
        return {};
    return ForeignRefusal(address, Target);
}

TRefusal CheckDelete(const THelperRequest& Request, const TTarget& Target)
{
    const std::string address = AddressText(Request.IP);
    if (Target.Entry == TTarget::TEntry::None)
        return Refuse(ENOENT, "the entry for " + address + ": No such file or directory");
    return ForeignRefusal(address, Target);
}

} // namespace qubra::arphelper
