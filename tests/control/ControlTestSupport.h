#pragma once

#include <memory>
#include <string>

#include "model/DataManager.h"
#include "model/Conversions.h"
#include "model/DeviceMapping.h"

namespace qubra::controltest {

inline constexpr std::uint8_t kSetCode = 0xC0;
inline constexpr std::uint8_t kSetIPCode = 0xFD;

// A MAC typed the tool's way.
inline TMACAddress MACOf(const std::string& Text)
{
    TMACAddress mac{};
    StrToMAC(Text, mac.data());
    return mac;
}

// Reads setup record bytes through the built-in layout, independently of the program.
class TRecordReader {
public:
    explicit TRecordReader(const TBytes& Bytes) { Record().SetData(Bytes); }
    TItemValue Value(const std::string& Field) const { return Record().GetValue(Field); }
    TDataPacket& Record() const { return *Layout->FindPacket("SetupRecord0"); }

private:
    std::unique_ptr<TDataManager> Layout = LoadDeviceMapping("");
};

// A record as a device sends it: 192.168.1.10/24 via 192.168.1.1, telnet password "ab", 8N1 at
// 9600, local port 10001, incoming connections accepted, everything else off.
inline TBytes DeviceRecord()
{
    TBytes r(120, 0x00);
    r[3] = 0xD0;
    r[4] = 192, r[5] = 168, r[6] = 1, r[7] = 10;
    r[10] = 8;
    r[11] = 0xFF;
    r[12] = 'a', r[13] = 'b';
    r[16] = 192, r[17] = 168, r[18] = 1, r[19] = 1;
    r[20] = 0x4C;
    r[21] = 0x02;
    r[24] = 0x11, r[25] = 0x27;
    r[32] = 0xC0;
    return r;
}

} // namespace qubra::controltest
