#include "cli/FieldText.h"

#include <cstdio>

#include "cli/InputValues.h"
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

// An entry's name, else a decimal number within the field's limits (an entry's number may lie
// beyond them); an enumeration takes nothing but its entries.
TItemValue NumberValue(const TDataItem& Item, const std::string& Name, const std::string& Text)
{
    if (const TDEnumItem* entry = FindEntry(Item, [&](const TDEnumItem& e) { return e.Name == Text; }))
        return std::int64_t{entry->Value};
    const std::int64_t number = StrToInt64(Text);
    const bool isEntry = FindEntry(Item, [&](const TDEnumItem& e) { return e.Value == number; });
    if (!isEntry && (number < Item.MinValue() || number > Item.MaxValue()))
        throw DoesNotFit(Text, Name);
    if (!isEntry && Item.ItemType() == itEnum && Item.EnumItemCount() > 0)
        throw Exception("'" + Text + "' is none of the values of " + Name);
    return number;
}

// The value in the form the field reads back when it holds it whole.
TItemValue SettingValue(const TDataItem& Item, const std::string& Name, const std::string& Text)
{
    if (Item.ReadOnly())
        throw Exception(Name + " is read-only");
    switch (Item.ItemType()) {
    case itEnum:
    case itSigned:
    case itUnsigned: return NumberValue(Item, Name, Text);
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
    case itString: return Utf8ToCp1250(Text);
    case itUnknown: break;
    }
    throw Exception(Name + " holds no value that can be set");
}

} // namespace

std::string EscapeControls(const std::string& Text)
{
    std::string escaped;
    for (const char c : Text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else if (c == '\t')
            escaped += "\\t";
        else if (byte < 0x20 || byte == 0x7F) {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            escaped += code;
        } else
            escaped += c;
    }
    return escaped;
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

void ApplySetting(TDataManager& DataManager, const std::string& Setting)
{
    const std::size_t equals = Setting.find('=');
    const std::string name = Setting.substr(0, equals);
    const std::string text = equals == std::string::npos ? "" : Setting.substr(equals + 1);
    TDataItem* item = DataManager.FindItem(name);
    if (!item)
        throw ItemNotFound(name);
    const TItemValue value = SettingValue(*item, name, text);
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
