#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/Bytes.h"
#include "model/ItemValue.h"

namespace qubra {

// Kind of value a field holds.
enum TItemType : std::uint8_t {
    itUnknown = 0,
    itEnum = 1,
    itBool = 2,
    itSigned = 3,
    itUnsigned = 4,
    itString = 5,
    itIP = 6,
    itMAC = 7,
    itHexa = 8,
};

// The mapping document's type text (any letter case) to the item type; unknown text gives itUnknown.
TItemType StrToItemType(const std::string& text);

// A named value of a field.
struct TDEnumItem {
    std::int32_t Value = 0;
    std::string Name;
};

// One typed field of a record. It works on bytes it does not own (its packet's record buffer)
// at a byte position and, below 8 bits, a bit range inside that byte. Bytes of the field that
// lie outside the buffer read as zero and are never written.
class TDataItem {
public:
    TDataItem(std::string name, int bitsOffset, int sizeBits, int position, TItemType itemType,
              std::span<std::uint8_t> buffer);
    // Builds the field from a `dataitem` element; throws when its layout attributes are no
    // numbers or out of range (the caller leaves such an item out).
    TDataItem(const xmlNode* element, std::span<std::uint8_t> buffer);

    TDataItem(const TDataItem&) = delete;
    TDataItem& operator=(const TDataItem&) = delete;

    TItemType ItemType() const { return FItemType; }
    std::uint16_t SizeBits() const { return FSizeBits; }
    std::uint8_t BitsOffset() const { return FBitsOffset; }
    std::int32_t Position() const { return FPosition; }
    std::int64_t MaxValue() const { return FMaxValue; }
    std::int64_t MinValue() const { return FMinValue; }
    const std::string& Name() const { return FName; }
    const std::string& Caption() const { return FCaption; }
    std::uint32_t NegMask() const { return FNegMask; }
    bool ReadOnly() const { return FReadOnly; }
    const std::string& Alias() const { return FAlias; }

    void SetMaxValue(std::int64_t value) { FMaxValue = value; }
    void SetMinValue(std::int64_t value) { FMinValue = value; }
    void SetCaption(std::string caption) { FCaption = std::move(caption); }
    void SetNegMask(std::uint32_t mask) { FNegMask = mask; }
    void SetReadOnly(bool readOnly) { FReadOnly = readOnly; }

    int ByteSize() const { return (FSizeBits + 7) / 8; }

    // The field's value bytes, right-aligned (a narrow field gives one byte with its bits at bit 0).
    int ReadBytes(std::uint8_t* dest, int len) const;
    bool WriteBytes(const std::uint8_t* src, int len);

    TItemValue GetValue() const;
    // Raises before anything is written, so a failed write leaves the record as it was.
    void SetValue(const TItemValue& value);
    TBytes GetRaw() const;
    void SetRaw(const TBytes& bytes);
    std::string GetHex() const;
    void SetHex(const std::string& text);

    void AddEnumItem(const std::string& name, std::int32_t value);
    int EnumItemCount() const { return static_cast<int>(FEnumItems.size()); }
    const TDEnumItem* GetEnumItem(int index) const;

    void SetDefaultValue(const TItemValue& value) { SetImageValue(FDefaultImage, value); }
    void SetDefaultRaw(const TBytes& bytes) { SetImageRaw(FDefaultImage, bytes); }
    void SetInitValue(const TItemValue& value) { SetImageValue(FInitImage, value); }
    void SetInitRaw(const TBytes& bytes) { SetImageRaw(FInitImage, bytes); }
    bool HasDefault() const { return !FDefaultImage.empty(); }
    bool HasInit() const { return !FInitImage.empty(); }
    bool ApplyDefault() { return ApplyImage(FDefaultImage); }
    bool ApplyInit() { return ApplyImage(FInitImage); }

    // Bytes held by the default and init images.
    std::size_t ImageSize() const { return FDefaultImage.size() + FInitImage.size(); }

private:
    struct TLayout;
    class TImageScope;

    TDataItem(const TLayout& layout, std::span<std::uint8_t> buffer);
    void ReadAttributes(const xmlNode* element);
    void ReadLimits(const xmlNode* element);
    void ReadMask(const xmlNode* element);
    void ReadImages(const xmlNode* element);
    void ReadEnumItems(const xmlNode* element);

    bool Narrow() const { return FSizeBits < 8; }
    std::uint8_t NarrowMask() const;
    std::uint8_t ReadByte(int index) const;
    void WriteByte(int index, std::uint8_t value);
    // The first len record bytes of the field as a little-endian number.
    std::uint32_t RecordNumber(int len) const;
    std::uint32_t NumberOf(const TItemValue& value) const;
    std::uint32_t BoolNumberOf(const TItemValue& value) const;

    template <class TWrite>
    void WriteImage(TBytes& image, bool clear, TWrite write);
    void SetImageValue(TBytes& image, const TItemValue& value);
    void SetImageRaw(TBytes& image, const TBytes& bytes);
    bool ApplyImage(TBytes& image);

    TItemType FItemType;
    std::uint16_t FSizeBits;
    std::uint8_t FBitsOffset;
    std::span<std::uint8_t> FBuffer;
    std::int32_t FPosition;
    std::int64_t FMaxValue;
    std::int64_t FMinValue;
    std::vector<TDEnumItem> FEnumItems;
    std::string FName;
    TBytes FInitImage;
    TBytes FDefaultImage;
    std::string FCaption;
    std::uint32_t FNegMask = 0;
    bool FReadOnly = false;
    std::string FAlias;
};

} // namespace qubra
