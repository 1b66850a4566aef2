#include "cli/FieldText.h"

#include <cctype>
#include <cstdio>

#include "cli/InputValues.h"
#include "control/AddressEntry.h"
#include "model/Charset.h"
#include "model/Conversions.h"
#include "model/DataPacket.h"
#include "model/TextValues.h"

namespace qubra {

namespace {

constexpr char kHeaderPrefix = '$';

bool IsNumberType(TItemType Type)
{
    return Type == itEnum || Type == itSigned || Type == itUnsigned;
}

template <typename TMatch>
const TDEnumItem* FindEntry(const TDataItem& Item, TMatch Match)
{
    for (int i = 0; i < Item.EnumItemCount(); ++i)
        if (const TDEnumItem* entry = Item.GetEnumItem(i); Match(*entry))
            return entry;
    return nullptr;
}

Exception DoesNotFit(const std::string& Text, const std::string& Name)
{
    return Exception("'" + Text + "' does not fit " + Name);
}

// An entry's name, the form read prints ("2 [9600]": the number and the name of its entry),
// or a decimal number.
std::int64_t NumberOf(const TDataItem& Item, const std::string& Text)
{
    if (const TDEnumItem* entry = FindEntry(Item, [&](const TDEnumItem& e) { return e.Name == Text; }))
        return entry->Value;
    const std::size_t open = Text.find(" [");
    if (open == std::string::npos || !Text.ends_with(']'))
        return StrToInt64(Text);
    const std::int64_t number = StrToInt64(Text.substr(0, open));
    const std::string name = Text.substr(open + 2, Text.size() - open - 3);
    if (!FindEntry(Item, [&](const TDEnumItem& e) { return e.Name == name && e.Value == number; }))
        throw Exception("'" + Text + "': " + name + " is no entry of the value " + std::to_string(number));
    return number;
}

// What a number field takes besides its present value: one of its entries (whose numbers may
// lie beyond the limits); for an enumeration whose entries are flags (it has a mask) any
// combination of them, none included; otherwise a number within the limits, except that an
// enumeration with entries takes nothing but them.
void CheckNumber(const TDataItem& Item, const std::string& Name, const std::string& Text, std::int64_t Number)
{
    if (FindEntry(Item, [&](const TDEnumItem& e) { return e.Value == Number; }))
        return;
    if (Item.ItemType() == itEnum && Item.NegMask() != 0 && Item.EnumItemCount() > 0) {
        std::int64_t flags = 0;
        for (int i = 0; i < Item.EnumItemCount(); ++i)
            flags |= Item.GetEnumItem(i)->Value;
        if (Number < 0 || (Number & ~flags) != 0)
            throw Exception("'" + Text + "' is no combination of the values of " + Name);
        return;
    }
    if (Number < Item.MinValue() || Number > Item.MaxValue())
        throw DoesNotFit(Text, Name);
    if (Item.ItemType() == itEnum && Item.EnumItemCount() > 0)
        throw Exception("'" + Text + "' is none of the values of " + Name);
}

// The value the text gives, read by the rule of the field's kind, in the form the field reads
// back when it holds it whole; whether the field takes it is not yet asked.
TItemValue TypedValue(const TDataItem& Item, const std::string& Name, const std::string& Text)
{
    switch (Item.ItemType()) {
    case itEnum:
    case itSigned:
    case itUnsigned: return NumberOf(Item, Text);
    case itBool: return ReadBoolean(Text);
    case itIP: return IPToStr(ReadAddress(Text));
    case itMAC: return MACToStr(ReadMAC(Text));
    case itHexa: {
        TBytes bytes = ReadHex(Text);
        if (bytes.size() > static_cast<std::size_t>(Item.ByteSize()))
            throw DoesNotFit(Text, Name);
        bytes.resize(Item.ByteSize());
        return BytesToHex(bytes);
    }
    case itString:
        try {
            return Utf8ToCp1250(UnescapeControls(Text));
        } catch (const Exception& error) {
            throw Exception(Name + ": " + error.what());
        }
    case itUnknown: break;
    }
    throw Exception(Name + " holds no value that can be set");
}

// What the field takes besides its present value.
void CheckTaken(const TDataManager& DataManager, const TDataItem& Item, const std::string& Name,
                const std::string& Text, const TItemValue& Value)
{
    if (Item.ReadOnly())
        throw Exception(Name + " is read-only");
    if (IsNumberType(Item.ItemType()))
        CheckNumber(Item, Name, Text, Value.Integer());
    if (&Item == DeviceAddressField(DataManager) && !TakesDeviceAddress(Item, StrToIP(Value.Text())))
        throw Exception(Name + ": " + Value.Text() + " is no device's address");
}

// Whether the field's bits or bytes can hold the value whole; the record is left as it was.
bool CanHold(TDataItem& Item, const TItemValue& Value)
{
    const TBytes before = Item.GetRaw();
    Item.SetValue(Value);
    const bool held = Item.GetValue() == Value;
    Item.SetRaw(before);
    return held;
}

} // namespace

std::string EscapeControls(const std::string& Text)
{
    std::string escaped;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        const auto byte = static_cast<unsigned char>(c);
        // The C1 controls U+0080 to U+009F, in UTF-8 C2 80 to C2 9F.
        const bool c1 = byte == 0xC2 && i + 1 < Text.size() &&
                        static_cast<unsigned char>(Text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(Text[i + 1]) <= 0x9F;
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else if (c == '\t')
            escaped += "\\t";
        else if (byte < 0x20 || byte == 0x7F || c1) {
            const unsigned code = c1 ? static_cast<unsigned char>(Text[++i]) : byte;
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", code);
            escaped += hex;
        } else
            escaped += c;
    }
    return escaped;
}

std::string UnescapeControls(const std::string& Text)
{
    std::string text;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] != '\\') {
            text += Text[i];
            continue;
        }
        const char kind = i + 1 < Text.size() ? Text[++i] : '\0';
        if (kind == '\\')
            text += '\\';
        else if (kind == 'n')
            text += '\n';
        else if (kind == 'r')
            text += '\r';
        else if (kind == 't')
            text += '\t';
        else if (kind == 'x' && i + 2 < Text.size() && std::isxdigit(static_cast<unsigned char>(Text[i + 1])) &&
                 std::isxdigit(static_cast<unsigned char>(Text[i + 2]))) {
            const unsigned code = std::stoul(Text.substr(i + 1, 2), nullptr, 16);
            i += 2;
            // The code point of that number, as the escape stands for it.
            if (code < 0x80) {
                text += static_cast<char>(code);
            } else {
                text += static_cast<char>(0xC0 | (code >> 6));
                text += static_cast<char>(0x80 | (code & 0x3F));
            }
        } else
            throw Exception("'" + Text + "' has a backslash that starts none of \\\\, \\n, \\r, \\t, \\xHH");
    }
    return text;
}

std::string JsonText(const TJson& Json)
{
    return Json.dump(2, ' ', false, TJson::error_handler_t::replace) + "\n";
}

void TJsonObjectBuilder::Set(const std::string& Key, TJson Value)
{
    auto& members = FObject.get_ref<TJson::object_t&>();
    const auto [place, added] = FPlaces.try_emplace(Key, members.size());
    if (added)
        members.emplace_back(Key, std::move(Value));
    else
        (members.begin() + static_cast<std::ptrdiff_t>(place->second))->second = std::move(Value);
}

std::vector<TFieldEntry> SetupFields(const TDataManager& DataManager)
{
    std::vector<TFieldEntry> fields;
    for (int p = 0; p < DataManager.PacketCount(); ++p) {
        const TDataPacket* record = DataManager.GetPacket(p);
        if (record->PacketType() != ptSetup)
            continue;
        for (int i = 0; i < record->ItemCount(); ++i) {
            const TDataItem* item = record->GetItem(i);
            if (!item->Name().starts_with(kHeaderPrefix))
                fields.push_back({record->Name() + "." + item->Name(), item});
        }
    }
    return fields;
}

std::string FieldText(const TDataItem& Item)
{
    const TItemValue value = Item.GetValue();
    // A field of no bits holds nothing.
    if (value.IsNull())
        return "";
    if (Item.ItemType() == itBool)
        return value.Boolean() ? "true" : "false";
    if (Item.ItemType() == itString)
        return Cp1250ToUtf8(value.Text());
    std::string text = value.AsText();
    if (IsNumberType(Item.ItemType()))
        if (const TDEnumItem* entry = FindEntry(
                Item, [&](const TDEnumItem& entry) { return entry.Value == value.Integer(); }))
            text += " [" + entry->Name + "]";
    return text;
}

TJson FieldJson(const TDataItem& Item)
{
    const TItemValue value = Item.GetValue();
    if (value.IsNull())
        return nullptr;
    if (Item.ItemType() == itBool)
        return value.Boolean();
    if (Item.ItemType() == itString)
        return Cp1250ToUtf8(value.Text());
    if (value.IsInteger())
        return value.Integer();
    return value.AsText();
}

void ApplySetting(TDataManager& DataManager, const std::string& Setting, TPresentValue Present)
{
    const std::size_t equals = Setting.find('=');
    const std::string name = Setting.substr(0, equals);
    const std::string text = equals == std::string::npos ? "" : Setting.substr(equals + 1);
    TDataItem* item = DataManager.FindItem(name);
    if (!item)
        throw ItemNotFound(name);
    const TItemValue value = TypedValue(*item, name, text);
    // The value the field holds is never refused, and writing it would change nothing (nor
    // would it keep the bytes a value does not show: a text's after its end, a wide number's).
    if (value == item->GetValue())
        return;
    if (Present == TPresentValue::AnyItHolds && (item->ReadOnly() || CanHold(*item, value)))
        return;
    CheckTaken(DataManager, *item, name, text, value);
    // The model keeps what fits the field's bits or bytes and drops the rest without a word.
    const TBytes before = item->GetRaw();
    item->SetValue(value);
    if (item->GetValue() != value) {
        item->SetRaw(before);
        throw DoesNotFit(text, name);
    }
}

std::string FieldsText(const TDataManager& DataManager)
{
    std::string text;
    for (const TFieldEntry& field : SetupFields(DataManager))
        text += EscapeControls(field.Key) + "=" + EscapeControls(FieldText(*field.Item)) + "\n";
    return text;
}

TJson FieldsJson(const TDataManager& DataManager)
{
    TJsonObjectBuilder object;
    for (const TFieldEntry& field : SetupFields(DataManager))
        object.Set(field.Key, FieldJson(*field.Item));
    return object.Take();
}

} // namespace qubra
