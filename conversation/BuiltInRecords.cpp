#include "conversation/BuiltInRecords.h"

#include <initializer_list>

namespace qubra {

namespace {

struct TFieldLayout {
    const char* Name;
    TItemType Type;
    int Position;
    int SizeBits;
};

std::unique_ptr<TDataPacket> BuildRecord(const char* Name, TPacketType Type, const char* Query,
                                         const char* Answer, const char* Set,
                                         const char* SetAnswer, int Size,
                                         std::initializer_list<TFieldLayout> Fields)
{
    auto record = std::make_unique<TDataPacket>(Name, Type, Query, Answer, Set, SetAnswer, Size);
    for (const TFieldLayout& field : Fields)
        record->AddItem(std::make_unique<TDataItem>(field.Name, 0, field.SizeBits, field.Position,
                                                    field.Type, record->Buffer()));
    return record;
}

} // namespace

std::unique_ptr<TDataPacket> BuildSearchingRecord()
{
    return BuildRecord(kSearchingRecordName, ptQuery, "000000f6", "000000f7", "", "", 30,
                       {{"$header", itHexa, 0, 32}, {"unit_mac", itMAC, 24, 48}});
}

std::unique_ptr<TDataPacket> BuildSetIPRecord()
{
    return BuildRecord(kSetIPRecordName, ptSet, "000000f8", "000000f9", "000000fd", "000000fb", 124,
                       {{"$header", itHexa, 0, 32},
                        {"unit_ip", itIP, 4, 32},
                        {"num_host_bits", itUnsigned, 10, 8},
                        {"gateway_ip", itIP, 16, 32}});
}

TNamedRecord::TNamedRecord(const TDataManager* DataManager, const std::string& Name, TBuilder Build)
    : FRecord(DataManager ? DataManager->FindPacket(Name) : nullptr)
{
    if (!FRecord) {
        FBuilt = Build();
        FRecord = FBuilt.get();
    }
}

} // namespace qubra
