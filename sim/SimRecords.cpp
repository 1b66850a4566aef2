#include "sim/SimRecords.h"

#include <cstring>
#include <iterator>

namespace qubra {

TBytes SimDefaultSetupRecord(std::uint32_t ip)
{
    TBytes record(kSimSetupRecord.Size, 0);
    SimWriteIP(record, kSimIPOffset, ip);
    record[11] = 0xFF;   // TCP keep-alive disabled
    record[20] = 0x4C;   // RS-232C, 8 bits, no parity, 1 stop bit
    record[21] = 0x02;   // 9600 Bd
    record[24] = 0x11;   // local port 10001, little-endian
    record[25] = 0x27;
    record[32] = 0xC0;   // accept incoming connections unconditionally
    return record;
}

TSimLine SimLineOf(const TBytes& record)
{
    TSimLine line;
    if (record.size() <= kSimDisconnectOffset)
        return line;
    line.Port = static_cast<std::uint16_t>(record[kSimUnitPortOffset] | record[kSimUnitPortOffset + 1] << 8);
    const std::uint8_t connect = record[kSimConnectOffset];
    const bool datagrams = (connect & 0x0F) == kSimDirectedUDP || record[kSimDisconnectOffset] == 1;
    line.Accepts = (connect >> 6) != 0 && !datagrams;
    // Speed codes 0 to 12: 38400, 19200, 9600, 4800, 2400, 1200, 600, 300, 115200, 57600,
    // 230400, 460800, 921600.
    constexpr int kSpeeds[] = {38400, 19200, 9600, 4800, 2400, 1200, 600, 300,
                               115200, 57600, 230400, 460800, 921600};
    const std::uint8_t code = record[kSimLineSpeedOffset] & 0x0F;
    line.Speed = code < std::size(kSpeeds) ? kSpeeds[code] : 0;
    const std::uint8_t mode = record[kSimLineModeOffset];
    const int dataBits = 5 + ((mode >> 2) & 3);
    const int parityBits = ((mode >> 4) & 3) != 0 ? 1 : 0;
    const int stopBits = ((mode >> 6) & 3) == 3 ? 2 : 1;
    line.CharacterBits = 1 + dataBits + parityBits + stopBits;
    return line;
}

std::uint32_t SimReadIP(const TBytes& bytes, std::size_t offset)
{
    std::uint32_t ip = 0;
    if (offset + sizeof ip <= bytes.size())
        std::memcpy(&ip, bytes.data() + offset, sizeof ip);
    return ip;
}

void SimWriteIP(TBytes& bytes, std::size_t offset, std::uint32_t ip)
{
    if (offset + sizeof ip <= bytes.size())
        std::memcpy(bytes.data() + offset, &ip, sizeof ip);
}

} // namespace qubra
