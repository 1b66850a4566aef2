#include "cli/FieldText.h"

#include <charconv>

#include "model/Charset.h"
#include "model/DataPacket.h"

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

// The model keeps what fits the field's bits or bytes and drops the rest without a word; a
// number or text that did not arrive whole is refused. Entry names are the field's own values.
void CheckStoredWhole(const TDataItem& Item, const std::string& Name, const std::string& Text,
                      const std::string& Stored)
{
    const TItemValue value = Item.GetValue();
    bool whole = true;
    if (Item.ItemType() == itString) {
        whole = value.Text() == Stored;
    } else if (IsNumberType(Item.ItemType()) &&
               !FindEntry(Item, [&](const TDEnumItem& entry) { return entry.Name == Text; })) {
        std::int64_t number = 0;
        const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), number);
        whole = error != std::errc() || end != Text.data() + Text.size() || value.Integer() == number;
    }
    if (!whole)
        throw Exception("'" + Text + "' does not fit " + Name);
}

} // namespace

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
    const std::string stored = item->ItemType() == itString ? Utf8ToCp1250(text) : text;
    if (item->ItemType() == itBool && (text == "true" || text == "false"))
        item->SetValue(text == "true");
    else
        item->SetValue(stored);
    CheckStoredWhole(*item, name, text, stored);
}

std::string FieldsText(const TDataManager& DataManager)
{
    std::string text;
    for (const TFieldEntry& field : SetupFields(DataManager))
        text += field.Key + "=" + FieldText(*field.Item) + "\n";
    return text;
}

TJson FieldsJson(const TDataManager& DataManager)
{
    TJson object = TJson::object();
    for (const TFieldEntry& field : SetupFields(DataManager))
        object[field.Key] = FieldJson(*field.Item);
    return object;
}

} // namespace qubra
