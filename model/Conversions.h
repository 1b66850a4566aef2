#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/Bytes.h"

namespace qubra {

// The characters HexToBytes skips between digits.
inline constexpr std::string_view HexSeparators = "- \r\n\t.";

// Hex text to bytes; the separators are skipped, a trailing odd character is ignored, any other
// pair that is not two hex digits raises EConvertError ("'$xy' is not a valid integer value").
TBytes HexToBytes(const std::string& text, std::string_view separators = HexSeparators);
// Two upper-case hex digits per byte, nothing between bytes.
std::string BytesToHex(const TBytes& bytes);

// IPv4 values keep the first octet in the least significant byte (as inet_addr returns them).
std::string IPToStr(std::uint32_t value);
// inet_addr semantics; text it rejects gives 0xFFFFFFFF.
std::uint32_t StrToIP(const std::string& text);

// Six lower-case hex pairs joined by "-"; reads the first 6 bytes (missing ones count as 0).
std::string MACToStr(const std::uint8_t* bytes);
std::string MACToStr(const TBytes& bytes);
// Copies up to 6 bytes of HexToBytes(text) into dest; true when the text gave exactly 6.
bool StrToMAC(const std::string& text, std::uint8_t* dest);

// count low bits set (32 and more: all), shifted left by shift modulo 32.
std::uint32_t BitMask(int count, int shift);

} // namespace qubra
