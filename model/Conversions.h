#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/Bytes.h"

namespace qubra {

// The characters HexToBytes skips between digits.
inline constexpr std::string_view HexSeparators = "- \r\n\t.";
// The characters a MAC text may have between its digits: "." is none of them.
inline constexpr std::string_view MACSeparators = "- \r\n\t";

// Hex text to bytes; the separators are skipped, a trailing odd character is ignored, any other
// pair that is not two hex digits raises EConvertError ("'$xy' is not a valid integer value").
TBytes HexToBytes(const std::string& text, std::string_view separators = HexSeparators);
// Two upper-case hex digits per byte, nothing between bytes.
std::string BytesToHex(const TBytes& bytes);

// IPv4 values keep the first octet in the least significant byte (as inet_addr returns them).
std::string IPToStr(std::uint32_t value);
// inet_addr semantics; text it rejects gives 0xFFFFFFFF.
std::uint32_t StrToIP(const std::string& text);
// How many parts a typed address may have.
enum class TIPForms {
    // Exactly four: the command line, which shows every address in that form.
    Dotted,
    // One to four, the short forms as the C library reads them: the last part fills the
    // bytes left (10 is 0.0.0.10, 10.1 is 10.0.0.1). The windows' address entries.
    Short,
};
// An address as a person types it: decimal parts joined by ".", nothing around them. A part
// with a leading zero is refused: the C library reads "061" as octal 49 (and "0x10" as hex), a
// person means 61, and no guess is safe.
std::optional<std::uint32_t> ParseIPText(const std::string& text, TIPForms forms = TIPForms::Dotted);
// An address a device can be given: not 0.x.x.x (this network), not multicast (224-239.x.x.x)
// nor the reserved class E above it with the broadcast 255.255.255.255. Loopback addresses stay
// allowed: the simulated devices live there, and their tested files carry them.
bool IsDeviceAddress(std::uint32_t value);

// A MAC address, its bytes in transmission order.
using TMACAddress = std::array<std::uint8_t, 6>;
bool IsZeroMAC(const TMACAddress& mac);

// Six lower-case hex pairs joined by "-"; reads the first 6 bytes (missing ones count as 0).
std::string MACToStr(const std::uint8_t* bytes);
std::string MACToStr(const TBytes& bytes);
std::string MACToStr(const TMACAddress& mac);
// Copies up to 6 bytes of HexToBytes(text) into dest; true when the text gave exactly 6.
bool StrToMAC(const std::string& text, std::uint8_t* dest);
// A MAC as a person types it, in a window's field or on the command line: twelve hex digits,
// which MACSeparators may separate, and nothing else (no digit left over, unlike HexToBytes).
std::optional<TMACAddress> ParseMACText(const std::string& text);

// count low bits set (32 and more: all), shifted left by shift modulo 32.
std::uint32_t BitMask(int count, int shift);

} // namespace qubra
