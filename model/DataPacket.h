#pragma once

#include <libxml/tree.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/Bytes.h"
#include "model/DataItem.h"
#include "model/Exception.h"
#include "model/ItemValue.h"

namespace qubra {

// Role of a record.
enum TPacketType : std::uint8_t {
    ptOther = 0,
    ptQuery = 1,
    ptSetup = 2,
    ptSet = 3,
};

// Kind of a record header, told by its code byte; kinds 1 to 4 index the header codes.
enum THeaderKind {
    hkNone = 0,
    hkQuery = 1,
    hkAnswer = 2,
    hkSet = 3,
    hkSetAnswer = 4,
};

// A record travels in one UDP datagram, whose payload cannot be longer.
constexpr int MaxRecordSize = 65535;
// What the record buffer and the field images of one record may take together.
constexpr std::size_t MaxPacketFootprint = 4u << 20;

// "Polozka <name> nebyla nalezena."
Exception ItemNotFound(const std::string& name);

// One record layout with the bytes of one record: its buffer, its fields and its four header
// codes (query, answer, set, set answer).
class TDataPacket {
public:
    TDataPacket(std::string name, TPacketType packetType, std::string queryCode, std::string answerCode,
                std::string setCode, std::string setAnswerCode, int size);
    // Builds the record from a `datapacket` element; throws when its size is no number or
    // beyond MaxRecordSize (the caller leaves such a record out).
    explicit TDataPacket(const xmlNode* element);
    ~TDataPacket();

    TDataPacket(const TDataPacket&) = delete;
    TDataPacket& operator=(const TDataPacket&) = delete;

    // -1 when there is no item or the record's footprint would grow beyond MaxPacketFootprint.
    int AddItem(std::unique_ptr<TDataItem> item);
    int AddItemFromXML(const xmlNode* element);
    void ClearItems();
    int ItemCount() const { return static_cast<int>(FItems.size()); }
    TDataItem* GetItem(int index) const;

    // By name, else by alias; letter case counts. Names and aliases are fixed once a field is
    // built, so both are kept in an index.
    TDataItem* FindItem(const std::string& name) const;
    bool HasItem(const std::string& name) const { return FindItem(name) != nullptr; }
    TItemValue GetValue(const std::string& name) const;
    void SetValue(const std::string& name, const TItemValue& value);

    int Size() const { return static_cast<int>(FBuffer.size()); }
    std::uint8_t* DataPtr() { return FBuffer.empty() ? nullptr : FBuffer.data(); }
    // The record buffer, for fields built in code over this record.
    std::span<std::uint8_t> Buffer() { return FBuffer; }
    TBytes GetData() const { return FBuffer; }
    void SetData(const TBytes& bytes);

    int HeaderLength() const;
    int HeaderPosition() const;
    TBytes GetHeader() const;
    void WriteHeader(const TBytes& bytes);
    TBytes HeaderCode(THeaderKind kind) const;

    THeaderKind GetKind() const;
    void SetKind(THeaderKind kind);
    THeaderKind KindOf(const std::uint8_t* data, std::size_t length) const;
    THeaderKind KindOf(const TBytes& data) const { return KindOf(data.data(), data.size()); }

    TBytes GetQueryRequest() const { return HeaderCode(hkQuery); }
    TBytes GetSetRequest();
    bool IsAnswer(const std::uint8_t* data, std::size_t length) const;
    bool IsAnswer(const TBytes& data) const { return IsAnswer(data.data(), data.size()); }
    bool AcceptAnswer(const TBytes& bytes);
    // True when bytes answer this record's query and carry all of it: only then does the
    // record hold nothing but what the device sent.
    bool IsWholeAnswer(const TBytes& bytes) const;
    void SetHeaderByte(int index, std::uint8_t byte);

    int ApplyInitValues();
    int ApplyDefaults();
    // The record as built: zero bytes with the init values, not received.
    void ResetData();

    const std::string& Name() const { return FName; }
    const std::string& Alias() const { return FAlias; }
    TPacketType PacketType() const { return FPacketType; }
    bool Received() const { return FReceived; }
    void SetReceived(bool received) { FReceived = received; }

    // Bytes held by the record buffer and by the field images as they were when added.
    std::size_t Footprint() const;

private:
    TDataItem* HeaderItem() const;
    THeaderKind KindOfHeader(const std::uint8_t* header, std::size_t length) const;

    // The byte inside a header that tells its kind, and how many bytes it takes.
    static constexpr int CodeOffset = 3;
    static constexpr int CodeLength = 1;

    TBytes FBuffer;
    std::vector<std::unique_ptr<TDataItem>> FItems;
    // The first field of each name and of each alias.
    std::unordered_map<std::string, TDataItem*> FByName;
    std::unordered_map<std::string, TDataItem*> FByAlias;
    std::array<std::string, 5> FHeaders;  // indexed by THeaderKind; [hkNone] stays empty
    std::string FName;
    std::string FAlias;
    TPacketType FPacketType = ptOther;
    bool FReceived = false;
    std::size_t FImageBytes = 0;
};

} // namespace qubra
