#include "sim/SimRecords.h"

#include <cstring>

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
