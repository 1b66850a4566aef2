#pragma once

#include <memory>
#include <string>

#include "model/DataManager.h"
#include "model/DataPacket.h"

namespace qubra {

inline constexpr const char* kSearchingRecordName = "searching_record";
inline constexpr const char* kSetIPRecordName = "setip_record";

// The search record: 30 bytes, query F6, answer F7, the device's MAC at bytes 24 to 29.
std::unique_ptr<TDataPacket> BuildSearchingRecord();
// The network settings record: 124 bytes, query F8, answer F9, set FD, set answer FB.
std::unique_ptr<TDataPacket> BuildSetIPRecord();

// The record of that name from the data manager, which keeps its content; when the manager
// has none, a zero-filled built-in layout that lives as long as this object.
class TNamedRecord {
public:
    using TBuilder = std::unique_ptr<TDataPacket> (*)();

    TNamedRecord(const TDataManager* DataManager, const std::string& Name, TBuilder Build);
    TDataPacket& operator*() const { return *FRecord; }
    TDataPacket* operator->() const { return FRecord; }

private:
    std::unique_ptr<TDataPacket> FBuilt;
    TDataPacket* FRecord;
};

} // namespace qubra
