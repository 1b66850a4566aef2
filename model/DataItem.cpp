#include "model/DataItem.h"

#include <algorithm>
#include <limits>

#include "model/Charset.h"
#include "model/Conversions.h"
#include "model/Exception.h"
#include "model/TextValues.h"
#include "model/Xml.h"

namespace qubra {

namespace {

std::uint32_t GetLE32(const TBytes& bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    return value;
}

void PutLE(TBytes& bytes, std::uint64_t value, int count)
{
    for (int i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct TRange {
    std::int64_t Min;
    std::int64_t Max;
};

// Wider numbers are read and written as their first 32 bits, so their range is that of 32 bits.
TRange NaturalRange(TItemType type, int width)
{
    const int bits = std::min(width, 32);
    switch (type) {
    case itEnum:
    case itUnsigned: return {0, (std::int64_t{1} << bits) - 1};
    case itBool: return {0, 1};
    case itSigned:
        if (bits == 0) return {0, 0};
        return {-(std::int64_t{1} << (bits - 1)), (std::int64_t{1} << (bits - 1)) - 1};
    case itIP: return {0, 0xFFFFFFFFll};
    case itMAC: return {0, (std::int64_t{1} << 48) - 1};
    default: return {0, 0};
    }
}

// The buffer of a work value: the field's bytes, widened so that numbers always have 4.
int WorkSize(TItemType type, int byteSize, bool forReading)
{
    switch (type) {
    case itEnum:
    case itBool:
    case itSigned:
    case itUnsigned:
    case itIP: return std::max(byteSize, 4);
    case itMAC: return forReading ? std::max(byteSize, 6) : byteSize;
    default: return byteSize;
    }
}

void CopyPrefix(TBytes& work, const TBytes& bytes)
{
    std::copy_n(bytes.begin(), std::min(bytes.size(), work.size()), work.begin());
}

Exception IncompatibleValue() { return Exception("Nekompatibilni typ hodnoty."); }

} // namespace

TItemType StrToItemType(const std::string& text)
{
    const std::string type = LowerCase(text);
    if (type == "enum") return itEnum;
    if (type == "bool" || type == "boolean") return itBool;
    if (type == "sig" || type == "signed" || type == "signumber" || type == "int") return itSigned;
    if (type == "unsig" || type == "unsigned" || type == "unsignumber" || type == "number" || type == "word")
        return itUnsigned;
    if (type == "string" || type == "char") return itString;
    if (type == "ip" || type == "ipaddress") return itIP;
    if (type == "mac" || type == "macaddress") return itMAC;
    if (type == "hexa") return itHexa;
    return itUnknown;
}

// The layout attributes of a `dataitem` element; a number that does not parse throws.
struct TDataItem::TLayout {
    std::string Name;
    int BitsOffset;
    int SizeBits;
    int Position;
    TItemType ItemType;

    explicit TLayout(const xmlNode* element)
    {
        if (!element) throw Exception("TDataItem::Konstruktoru nebyl zadan nod.");
        ItemType = StrToItemType(Attribute(element, "type"));
        if (HasAttribute(element, "size")) {
            const std::int64_t bytes = StrToInt(Attribute(element, "size"));
            SizeBits = bytes > std::numeric_limits<int>::max() / 8 || bytes < 0 ? -1 : static_cast<int>(bytes * 8);
        } else {
            SizeBits = HasAttribute(element, "sizebits") ? StrToInt(Attribute(element, "sizebits")) : 0;
        }
        Position = HasAttribute(element, "position") ? StrToInt(Attribute(element, "position")) : 0;
        BitsOffset = HasAttribute(element, "bitsoffset") ? StrToInt(Attribute(element, "bitsoffset")) & 0xFF : 0;
        Name = Attribute(element, "name");
    }
};

// Points the item at an image (position 0) for as long as the scope lives.
class TDataItem::TImageScope {
public:
    TImageScope(TDataItem& item, TBytes& image)
        : FItem(item), FBuffer(item.FBuffer), FPosition(item.FPosition)
    {
        FItem.FBuffer = image;
        FItem.FPosition = 0;
    }
    ~TImageScope()
    {
        FItem.FBuffer = FBuffer;
        FItem.FPosition = FPosition;
    }
    TImageScope(const TImageScope&) = delete;
    TImageScope& operator=(const TImageScope&) = delete;

private:
    TDataItem& FItem;
    std::span<std::uint8_t> FBuffer;
    std::int32_t FPosition;
};

TDataItem::TDataItem(std::string name, int bitsOffset, int sizeBits, int position, TItemType itemType,
                     std::span<std::uint8_t> buffer)
    : FItemType(itemType),
      FSizeBits(static_cast<std::uint16_t>(sizeBits)),
      FBitsOffset(static_cast<std::uint8_t>(bitsOffset)),
      FBuffer(buffer),
      FPosition(position),
      FName(std::move(name))
{
    // A width beyond 16 bits or a place before the record start describes no field.
    if (sizeBits < 0 || sizeBits > std::numeric_limits<std::uint16_t>::max() || position < 0)
        throw Exception("Invalid layout of field " + FName + ".");
    const TRange range = NaturalRange(FItemType, FSizeBits);
    FMinValue = range.Min;
    FMaxValue = range.Max;
}

TDataItem::TDataItem(const TLayout& layout, std::span<std::uint8_t> buffer)
    : TDataItem(layout.Name, layout.BitsOffset, layout.SizeBits, layout.Position, layout.ItemType, buffer)
{
}

TDataItem::TDataItem(const xmlNode* element, std::span<std::uint8_t> buffer) : TDataItem(TLayout(element), buffer)
{
    ReadAttributes(element);
}

void TDataItem::ReadAttributes(const xmlNode* element)
{
    FAlias = Attribute(element, "alias");
    ReadLimits(element);
    FCaption = Attribute(element, "caption");
    ReadMask(element);
    ReadImages(element);
    ReadEnumItems(element);
    try {
        if (HasAttribute(element, "readonly")) FReadOnly = StrToBool(Attribute(element, "readonly"));
    } catch (const EConvertError&) {
    }
}

// A value that does not convert ends its group; what was read before it stays.
void TDataItem::ReadLimits(const xmlNode* element)
{
    const TRange natural = NaturalRange(FItemType, FSizeBits);
    try {
        if (HasAttribute(element, "minvalue")) {
            const std::int64_t value = StrToInt64(Attribute(element, "minvalue"));
            if (value >= natural.Min && value <= natural.Max) FMinValue = value;
        } else if (HasAttribute(element, "false_value")) {
            FMinValue = StrToInt64(Attribute(element, "false_value"));
        }
        if (HasAttribute(element, "maxvalue")) {
            const std::int64_t value = StrToInt64(Attribute(element, "maxvalue"));
            if (value >= FMinValue && value <= natural.Max) FMaxValue = value;
        } else if (HasAttribute(element, "true_value")) {
            FMaxValue = StrToInt64(Attribute(element, "true_value"));
        }
    } catch (const EConvertError&) {
    }
}

void TDataItem::ReadMask(const xmlNode* element)
{
    try {
        if (HasAttribute(element, "bitmask"))
            FNegMask = ~static_cast<std::uint32_t>(StrToInt64(Attribute(element, "bitmask")));
        else if (HasAttribute(element, "bitmask_negative"))
            FNegMask = static_cast<std::uint32_t>(StrToInt64(Attribute(element, "bitmask_negative")));
    } catch (const EConvertError&) {
    }
}

void TDataItem::ReadImages(const xmlNode* element)
{
    // The document's texts are UTF-8, a text field's bytes Windows-1250.
    const auto value = [&](const char* name) {
        const std::string text = Attribute(element, name);
        return FItemType == itString ? Utf8ToCp1250(text) : text;
    };
    try {
        if (HasAttribute(element, "init_value"))
            SetInitValue(value("init_value"));
        else if (HasAttribute(element, "init_value_hexa"))
            SetInitRaw(HexToBytes(Attribute(element, "init_value_hexa")));
        if (HasAttribute(element, "default_value"))
            SetDefaultValue(value("default_value"));
        else if (HasAttribute(element, "default_value_hexa"))
            SetDefaultRaw(HexToBytes(Attribute(element, "default_value_hexa")));
    } catch (const Exception&) {
    }
}

void TDataItem::ReadEnumItems(const xmlNode* element)
{
    std::int64_t highest = -1;
    for (const xmlNode* child : ChildElements(element)) {
        if (NodeName(child) != "enumitem" || !HasAttribute(child, "name")) continue;
        std::int64_t value = highest + 1;
        if (HasAttribute(child, "value")) {
            try {
                value = StrToInt(Attribute(child, "value"));
            } catch (const EConvertError&) {
                continue;
            }
        }
        if (value > std::numeric_limits<std::int32_t>::max()) continue;
        AddEnumItem(Attribute(child, "name"), static_cast<std::int32_t>(value));
        highest = std::max(highest, value);
    }
}

// The field's bits inside its byte, without the bits the mask takes away.
std::uint8_t TDataItem::NarrowMask() const
{
    if (FBitsOffset >= 8) return 0;
    std::uint32_t mask = BitMask(FSizeBits, 0);
    if (FNegMask != 0) mask &= ~FNegMask;
    return static_cast<std::uint8_t>(mask << FBitsOffset);
}

std::uint8_t TDataItem::ReadByte(int index) const
{
    const std::int64_t at = std::int64_t{FPosition} + index;
    return at >= 0 && at < static_cast<std::int64_t>(FBuffer.size()) ? FBuffer[at] : 0;
}

void TDataItem::WriteByte(int index, std::uint8_t value)
{
    const std::int64_t at = std::int64_t{FPosition} + index;
    if (at >= 0 && at < static_cast<std::int64_t>(FBuffer.size())) FBuffer[at] = value;
}

std::uint32_t TDataItem::RecordNumber(int len) const
{
    std::uint32_t value = 0;
    for (int i = 0; i < len; ++i) value |= static_cast<std::uint32_t>(ReadByte(i)) << (8 * i);
    return value;
}

int TDataItem::ReadBytes(std::uint8_t* dest, int len) const
{
    if (len <= 0) return ByteSize();
    if (Narrow()) {
        len = std::min(len, 4);
        std::fill_n(dest, len, 0);
        dest[0] = FBitsOffset < 8 ? static_cast<std::uint8_t>((ReadByte(0) & NarrowMask()) >> FBitsOffset) : 0;
        return len;
    }
    const int n = ByteSize();
    if (len > n) {
        if (n < 4) std::fill_n(dest, std::min(4, len), 0);
        len = n;
    }
    if (FNegMask != 0 && len <= 4) {
        const std::uint32_t value = RecordNumber(len) & ~FNegMask;
        for (int i = 0; i < len; ++i) dest[i] = static_cast<std::uint8_t>(value >> (8 * i));
    } else {
        for (int i = 0; i < len; ++i) dest[i] = ReadByte(i);
    }
    return len;
}

bool TDataItem::WriteBytes(const std::uint8_t* src, int len)
{
    if (FReadOnly || len < 1) return false;
    if (Narrow()) {
        const std::uint8_t mask = NarrowMask();
        const std::uint8_t value = FBitsOffset < 8 ? static_cast<std::uint8_t>(src[0] << FBitsOffset) : 0;
        WriteByte(0, static_cast<std::uint8_t>((ReadByte(0) & ~mask) | (value & mask)));
        return true;
    }
    len = std::min(len, ByteSize());
    if (FNegMask != 0 && len <= 4) {
        std::uint32_t newValue = 0;
        for (int i = 0; i < len; ++i) newValue |= static_cast<std::uint32_t>(src[i]) << (8 * i);
        const std::uint32_t value = (RecordNumber(len) & FNegMask) | (newValue & ~FNegMask);
        for (int i = 0; i < len; ++i) WriteByte(i, static_cast<std::uint8_t>(value >> (8 * i)));
    } else {
        for (int i = 0; i < len; ++i) WriteByte(i, src[i]);
    }
    return true;
}

TItemValue TDataItem::GetValue() const
{
    const int byteSize = ByteSize();
    if (byteSize == 0) return {};
    TBytes work(WorkSize(FItemType, byteSize, true));
    ReadBytes(work.data(), static_cast<int>(work.size()));
    switch (FItemType) {
    case itEnum:
    case itUnsigned: return std::int64_t{GetLE32(work)};
    case itSigned: {
        std::uint32_t value = GetLE32(work);
        if (FSizeBits < 32 && (value & BitMask(1, FSizeBits - 1)) != 0)
            value = (value & BitMask(FSizeBits - 1, 0)) | BitMask(33 - FSizeBits, FSizeBits - 1);
        return std::int64_t{static_cast<std::int32_t>(value)};
    }
    case itBool: {
        const std::int64_t raw = GetLE32(work);
        return !(raw == FMinValue || (raw == 0 && FMaxValue != 0));
    }
    case itString: {
        const auto end = std::find(work.begin(), work.end(), 0);
        return std::string(work.begin(), end);
    }
    case itIP: return IPToStr(GetLE32(work));
    case itMAC: return MACToStr(work.data());
    case itHexa: return BytesToHex(work);
    case itUnknown: break;
    }
    return {};
}

// The number an enum, unsigned or signed field stores for a value: an entry's name, a decimal text,
// an integer's low 32 bits, or 1/0 for a boolean.
std::uint32_t TDataItem::NumberOf(const TItemValue& value) const
{
    if (value.IsBoolean()) return value.Boolean() ? 1 : 0;
    if (value.IsInteger()) return static_cast<std::uint32_t>(value.Integer());
    for (const TDEnumItem& entry : FEnumItems)
        if (entry.Name == value.Text()) return static_cast<std::uint32_t>(entry.Value);
    return static_cast<std::uint32_t>(StrToInt64(value.Text()));
}

// A bool field stores raw numbers as they are and true/false as its true and false numbers.
std::uint32_t TDataItem::BoolNumberOf(const TItemValue& value) const
{
    if (value.IsInteger()) return static_cast<std::uint32_t>(value.Integer());
    bool truth = value.Boolean();
    if (value.IsText()) {
        if (const auto raw = TryStrToInt64(value.Text())) return static_cast<std::uint32_t>(*raw);
        truth = StrToBool(value.Text());
    }
    return static_cast<std::uint32_t>(truth ? FMaxValue : FMinValue);
}

void TDataItem::SetValue(const TItemValue& value)
{
    const int byteSize = ByteSize();
    if (value.IsNull() || byteSize == 0) return;
    TBytes work(WorkSize(FItemType, byteSize, false));
    switch (FItemType) {
    case itEnum:
    case itUnsigned: PutLE(work, NumberOf(value), 4); break;
    case itSigned: {
        std::uint32_t number = NumberOf(value);
        if (static_cast<std::int32_t>(number) < 0 && FSizeBits < 32)
            number = BitMask(1, FSizeBits - 1) | (number & 0x7FFFFFFFu);
        PutLE(work, number, 4);
        break;
    }
    case itBool: PutLE(work, BoolNumberOf(value), 4); break;
    case itString: CopyPrefix(work, ToBytes(value.AsText())); break;
    case itIP:
        if (value.IsBoolean()) throw IncompatibleValue();
        PutLE(work, value.IsInteger() ? static_cast<std::uint32_t>(value.Integer()) : StrToIP(value.Text()), 4);
        break;
    case itMAC:
        if (byteSize < 6) throw Exception("Nedostatek prostoru pro MAC adresu.");
        if (value.IsBoolean()) throw IncompatibleValue();
        if (value.IsInteger())
            PutLE(work, static_cast<std::uint64_t>(value.Integer()), 6);
        else
            StrToMAC(value.Text(), work.data());
        break;
    case itHexa: CopyPrefix(work, HexToBytes(value.AsText())); break;
    case itUnknown: return;
    }
    WriteBytes(work.data(), static_cast<int>(work.size()));
}

TBytes TDataItem::GetRaw() const
{
    TBytes raw(ByteSize());
    if (!raw.empty()) ReadBytes(raw.data(), static_cast<int>(raw.size()));
    return raw;
}

void TDataItem::SetRaw(const TBytes& bytes)
{
    TBytes raw(ByteSize());
    CopyPrefix(raw, bytes);
    if (!raw.empty()) WriteBytes(raw.data(), static_cast<int>(raw.size()));
}

std::string TDataItem::GetHex() const { return BytesToHex(GetRaw()); }

void TDataItem::SetHex(const std::string& text) { SetRaw(HexToBytes(text)); }

void TDataItem::AddEnumItem(const std::string& name, std::int32_t value) { FEnumItems.push_back({value, name}); }

const TDEnumItem* TDataItem::GetEnumItem(int index) const
{
    return index >= 0 && index < EnumItemCount() ? &FEnumItems[index] : nullptr;
}

// The image is written as the record would be, with the item pointed at it; a write that fails
// leaves the image as it was.
template <class TWrite>
void TDataItem::WriteImage(TBytes& image, bool clear, TWrite write)
{
    if (clear) {
        image.clear();
        return;
    }
    TBytes written(ByteSize());
    {
        TImageScope scope(*this, written);
        write();
    }
    image = std::move(written);
}

void TDataItem::SetImageValue(TBytes& image, const TItemValue& value)
{
    WriteImage(image, value.IsNull(), [&] { SetValue(value); });
}

void TDataItem::SetImageRaw(TBytes& image, const TBytes& bytes)
{
    WriteImage(image, bytes.empty(), [&] { SetRaw(bytes); });
}

bool TDataItem::ApplyImage(TBytes& image)
{
    if (image.empty()) return false;
    TBytes raw;
    {
        TImageScope scope(*this, image);
        raw = GetRaw();
    }
    SetRaw(raw);
    return true;
}

} // namespace qubra
