#pragma once

#include <memory>
#include <string>

#include "model/DataManager.h"
#include "model/DeviceMapping.h"

namespace qubra::controltest {

inline constexpr std::uint8_t kSetCode = 0xC0;
inline constexpr std::uint8_t kSetIPCode = 0xFD;

// Reads setup record bytes through the built-in layout, independently of the program.
class TRecordReader {
public:
    explicit TRecordReader(const TBytes& Bytes) { Record().SetData(Bytes); }
    TItemValue Value(const std::string& Field) const { return Record().GetValue(Field); }
    TDataPacket& Record() const { return *Layout->FindPacket("SetupRecord0"); }

private:
    std::unique_ptr<TDataManager> Layout = LoadDeviceMapping("");
};

} // namespace qubra::controltest
