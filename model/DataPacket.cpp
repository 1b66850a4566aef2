#include "model/DataPacket.h"

#include <algorithm>

#include "model/Conversions.h"
#include "model/TextValues.h"
#include "model/Xml.h"

namespace qubra {

namespace {

const char* const HeaderItemName = "$header";

TPacketType StrToPacketType(const std::string& typeText)
{
    const std::string text = LowerCase(typeText);
    if (text == "setup" || text == "setuprecord") return ptSetup;
    if (text == "query" || text == "queryrecord") return ptQuery;
    if (text == "set" || text == "setrecord") return ptSet;
    return ptOther;
}

int SizeAttribute(const xmlNode* element)
{
    if (!element) throw Exception("TDataPacket::Create> iNode je nil.");
    return HasAttribute(element, "size") ? StrToInt(Attribute(element, "size")) : 0;
}

} // namespace

Exception ItemNotFound(const std::string& name) { return Exception("Polozka " + name + " nebyla nalezena."); }

TDataPacket::TDataPacket(std::string name, TPacketType packetType, std::string queryCode, std::string answerCode,
                         std::string setCode, std::string setAnswerCode, int size)
    : FHeaders{"", std::move(queryCode), std::move(answerCode), std::move(setCode), std::move(setAnswerCode)},
      FName(std::move(name)),
      FPacketType(packetType)
{
    if (size < 0 || size > MaxRecordSize) throw Exception("Invalid size of record " + FName + ".");
    FBuffer.assign(size, 0);
}

TDataPacket::TDataPacket(const xmlNode* element)
    : TDataPacket(Attribute(element, "name"), StrToPacketType(Attribute(element, "type")),
                  Attribute(element, "h_query"), Attribute(element, "h_answer"), Attribute(element, "h_set"),
                  Attribute(element, "h_setanswer"), SizeAttribute(element))
{
    FAlias = Attribute(element, "alias");
    for (const xmlNode* child : ChildElements(element))
        if (NodeName(child) == "dataitem") AddItemFromXML(child);
    ApplyInitValues();
}

TDataPacket::~TDataPacket() { ClearItems(); }

int TDataPacket::AddItem(std::unique_ptr<TDataItem> item)
{
    if (!item || Footprint() + item->ImageSize() > MaxPacketFootprint) return -1;
    FImageBytes += item->ImageSize();
    FByName.try_emplace(item->Name(), item.get());
    if (!item->Alias().empty()) FByAlias.try_emplace(item->Alias(), item.get());
    FItems.push_back(std::move(item));
    return ItemCount() - 1;
}

int TDataPacket::AddItemFromXML(const xmlNode* element)
{
    try {
        return AddItem(std::make_unique<TDataItem>(element, FBuffer));
    } catch (const Exception&) {
        return -1;
    }
}

void TDataPacket::ClearItems()
{
    FItems.clear();
    FByName.clear();
    FByAlias.clear();
    FImageBytes = 0;
}

TDataItem* TDataPacket::GetItem(int index) const
{
    return index >= 0 && index < ItemCount() ? FItems[index].get() : nullptr;
}

TDataItem* TDataPacket::FindItem(const std::string& name) const
{
    if (const auto named = FByName.find(name); named != FByName.end()) return named->second;
    const auto aliased = FByAlias.find(name);
    return aliased != FByAlias.end() ? aliased->second : nullptr;
}

TItemValue TDataPacket::GetValue(const std::string& name) const
{
    const TDataItem* item = FindItem(name);
    return item ? item->GetValue() : TItemValue();
}

void TDataPacket::SetValue(const std::string& name, const TItemValue& value)
{
    TDataItem* item = FindItem(name);
    if (!item) throw ItemNotFound(name);
    item->SetValue(value);
}

void TDataPacket::SetData(const TBytes& bytes)
{
    std::copy_n(bytes.begin(), std::min(bytes.size(), FBuffer.size()), FBuffer.begin());
}

TDataItem* TDataPacket::HeaderItem() const { return FindItem(HeaderItemName); }

int TDataPacket::HeaderLength() const
{
    if (const TDataItem* header = HeaderItem()) return header->ByteSize();
    return Size() >= 4 ? 4 : 0;
}

int TDataPacket::HeaderPosition() const
{
    const TDataItem* header = HeaderItem();
    return header ? header->Position() : 0;
}

TBytes TDataPacket::GetHeader() const
{
    if (const TDataItem* header = HeaderItem()) return header->GetRaw();
    return Size() >= 4 ? TBytes(FBuffer.begin(), FBuffer.begin() + 4) : TBytes();
}

void TDataPacket::WriteHeader(const TBytes& bytes)
{
    if (TDataItem* header = HeaderItem())
        header->SetRaw(bytes);
    else if (Size() >= 4)
        std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 4), FBuffer.begin());
}

TBytes TDataPacket::HeaderCode(THeaderKind kind) const
{
    if (kind < hkQuery || kind > hkSetAnswer) return {};
    return HexToBytes(FHeaders[kind]);
}

// A header code that is no valid hex text has no code byte and so matches no header.
THeaderKind TDataPacket::KindOfHeader(const std::uint8_t* header, std::size_t length) const
{
    if (length < CodeOffset + CodeLength) return hkNone;
    for (THeaderKind kind : {hkQuery, hkAnswer, hkSet, hkSetAnswer}) {
        TBytes code;
        try {
            code = HeaderCode(kind);
        } catch (const EConvertError&) {
            continue;
        }
        if (code.size() >= CodeOffset + CodeLength &&
            std::equal(header + CodeOffset, header + CodeOffset + CodeLength, code.begin() + CodeOffset))
            return kind;
    }
    return hkNone;
}

THeaderKind TDataPacket::GetKind() const
{
    const TBytes header = GetHeader();
    return KindOfHeader(header.data(), header.size());
}

THeaderKind TDataPacket::KindOf(const std::uint8_t* data, std::size_t length) const
{
    const std::int64_t position = HeaderPosition();
    const std::int64_t headerLength = HeaderLength();
    if (!data || static_cast<std::int64_t>(length) < position + headerLength) return hkNone;
    return KindOfHeader(data + position, static_cast<std::size_t>(headerLength));
}

void TDataPacket::SetKind(THeaderKind kind)
{
    if (GetKind() != kind) WriteHeader(HeaderCode(kind));
}

TBytes TDataPacket::GetSetRequest()
{
    SetKind(hkSet);
    return GetData();
}

bool TDataPacket::IsAnswer(const std::uint8_t* data, std::size_t length) const
{
    const THeaderKind kind = KindOf(data, length);
    return kind == hkAnswer || kind == hkSetAnswer;
}

bool TDataPacket::AcceptAnswer(const TBytes& bytes)
{
    if (bytes.empty()) return false;
    const THeaderKind kind = KindOf(bytes);
    if (kind != hkAnswer && kind != hkSetAnswer) return false;
    SetData(bytes);
    if (kind == hkAnswer) FReceived = true;
    ApplyInitValues();
    return true;
}

bool TDataPacket::IsWholeAnswer(const TBytes& bytes) const
{
    return bytes.size() >= FBuffer.size() && KindOf(bytes) == hkAnswer;
}

void TDataPacket::SetHeaderByte(int index, std::uint8_t byte)
{
    if (index < 0 || index >= HeaderLength()) return;
    const std::int64_t at = std::int64_t{HeaderPosition()} + index;
    if (at < Size()) FBuffer[at] = byte;
}

int TDataPacket::ApplyInitValues()
{
    return static_cast<int>(std::count_if(FItems.begin(), FItems.end(), [](auto& item) { return item->ApplyInit(); }));
}

void TDataPacket::ResetData()
{
    std::fill(FBuffer.begin(), FBuffer.end(), 0);
    ApplyInitValues();
    FReceived = false;
}

int TDataPacket::ApplyDefaults()
{
    int count = 0;
    for (const auto& item : FItems) {
        item->ApplyInit();
        if (item->ApplyDefault()) ++count;
    }
    return count;
}

std::size_t TDataPacket::Footprint() const { return FBuffer.size() + FImageBytes; }

} // namespace qubra
