#include "cli/SetupFile.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <unordered_set>

#include "model/Conversions.h"
#include "model/DataPacket.h"
#include "model/FileText.h"

namespace qubra {

namespace {

constexpr const char* kFormat = "qubra232-setup";
constexpr int kFormatVersion = 1;

// The file is read into std::map objects: ordered_json would look every key up by a linear
// search while it parses, which makes a file of many keys quadratic.
using TReadJson = nlohmann::json;

std::vector<TDataPacket*> SetupRecords(const TDataManager& DataManager)
{
    std::vector<TDataPacket*> records;
    for (int i = 0; i < DataManager.PacketCount(); ++i)
        if (DataManager.GetPacket(i)->PacketType() == ptSetup)
            records.push_back(DataManager.GetPacket(i));
    return records;
}

TBytes RecordBytes(const std::string& FileName, const TReadJson& Records, const TDataPacket& Record)
{
    const std::string where = FileName + ": record " + Record.Name();
    const auto hex = Records.find(Record.Name());
    if (hex == Records.end() || !hex->is_string())
        throw EBadFile(where + " is missing");
    const std::string& text = hex->get_ref<const std::string&>();
    if (text.size() % 2 != 0)
        throw EBadFile(where + ": odd number of hexadecimal digits");
    TBytes bytes;
    try {
        bytes = HexToBytes(text);
    } catch (const EConvertError& error) {
        throw EBadFile(where + ": " + error.what());
    }
    if (static_cast<int>(bytes.size()) != Record.Size())
        throw EBadFile(where + " has " + std::to_string(bytes.size()) + " bytes, the device's has " +
                       std::to_string(Record.Size()));
    return bytes;
}

// A readable field's value as --set takes it; empty for what no field holds.
template <typename TAnyJson>
std::optional<std::string> SettingText(const TAnyJson& Value)
{
    if (Value.is_string())
        return Value.template get<std::string>();
    if (Value.is_boolean())
        return Value.template get<bool>() ? "true" : "false";
    if (Value.is_number_integer())
        return Value.dump();
    return std::nullopt;
}

// The settings a field takes by --set from the file, one at a time; a refusal names the field.
void ApplyField(const std::string& Where, TDataManager& DataManager, const std::string& Key,
                const std::string& Text)
{
    try {
        ApplySetting(DataManager, Key + "=" + Text);
    } catch (const std::exception& error) {
        throw EBadFile(Where + "field " + Key + ": " + error.what());
    }
    const TDataItem& item = *DataManager.FindItem(Key);
    if (item.Name() == "unit_ip" && !IsDeviceAddress(StrToIP(item.GetValue().AsText())))
        throw EBadFile(Where + "field " + Key + ": " + item.GetValue().AsText() + " is no device's address");
}

// A field that --set cannot write stays as the record has it.
bool Settable(const TDataItem& Item)
{
    return !Item.ReadOnly() && Item.ItemType() != itUnknown;
}

// The readable fields that differ from what the bytes held are written into them, each by the
// rules of --set; compared with the bytes as read, so that an edit of a whole byte is not undone
// by the unchanged entries of its bits.
void ApplyFields(const std::string& FileName, const TReadJson& Fields, TDataManager& Scratch)
{
    const std::vector<TFieldEntry> setupFields = SetupFields(Scratch);
    std::unordered_set<std::string> known;
    std::vector<std::optional<std::string>> held;
    for (const TFieldEntry& field : setupFields) {
        known.insert(field.Key);
        held.push_back(SettingText(FieldJson(*field.Item)));
    }
    for (const auto& [key, value] : Fields.items())
        if (!known.contains(key))
            throw EBadFile(FileName + ": field " + key + " is not a setup field of this device");
    for (std::size_t i = 0; i < setupFields.size(); ++i) {
        const auto given = Fields.find(setupFields[i].Key);
        if (given == Fields.end())
            continue;
        const std::optional<std::string> text = SettingText(*given);
        if (text == held[i])
            continue;
        if (!text)
            throw EBadFile(FileName + ": field " + setupFields[i].Key + ": " + given->dump() +
                           " is no number, boolean or text");
        ApplyField(FileName + ": ", Scratch, setupFields[i].Key, *text);
    }
}

bool IsNetworkField(const std::string& Name)
{
    return std::ranges::find(kNetworkFields, Name) != std::end(kNetworkFields);
}

} // namespace

TJson SetupDocument(const TDataManager& DataManager, const std::string& MAC, const std::string& IP)
{
    TJsonObjectBuilder records;
    for (const TDataPacket* record : SetupRecords(DataManager))
        records.Set(record->Name(), BytesToHex(record->GetData()));
    return TJson{{"format", kFormat},
                 {"version", kFormatVersion},
                 {"mac", MAC},
                 {"ip", IP},
                 {"records", records.Take()},
                 {"fields", FieldsJson(DataManager)}};
}

TSetupImage ReadSetupText(const std::string& Text, const std::string& FileName, TDataManager& Scratch)
{
    TReadJson document;
    try {
        document = TReadJson::parse(Text);
    } catch (const nlohmann::json::exception& error) {
        throw EBadFile(FileName + ": " + error.what());
    }
    const auto format = document.is_object() ? document.find("format") : document.end();
    if (format == document.end() || *format != kFormat)
        throw EBadFile(FileName + ": not a setup file (\"format\" is not \"" + kFormat + "\")");
    // The integer 1 alone: a fraction, a boolean or a number beyond int is no version of ours.
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number_integer() || *version != kFormatVersion)
        throw EBadFile(FileName + ": unknown version (\"version\" is not 1)");
    const auto records = document.find("records");
    if (records == document.end() || !records->is_object())
        throw EBadFile(FileName + ": no \"records\" object");
    const auto fields = document.find("fields");
    if (fields != document.end() && !fields->is_object())
        throw EBadFile(FileName + ": \"fields\" is not an object");

    for (const auto& [name, value] : records->items())
        if (!Scratch.FindPacket(name) || Scratch.FindPacket(name)->PacketType() != ptSetup)
            throw EBadFile(FileName + ": record " + name + " is not a setup record of this device");
    for (TDataPacket* record : SetupRecords(Scratch))
        record->SetData(RecordBytes(FileName, *records, *record));
    ApplyFields(FileName, fields != document.end() ? *fields : TReadJson::object(), Scratch);

    TSetupImage image;
    for (const TFieldEntry& field : SetupFields(Scratch))
        if (Settable(*field.Item))
            if (const std::optional<std::string> text = SettingText(FieldJson(*field.Item)))
                image.push_back({field.Key, field.Item->Name(), *text});
    return image;
}

TSetupImage ReadSetupFile(const std::string& FileName, TDataManager& Scratch)
{
    std::string text;
    try {
        text = ReadFileText(FileName);
    } catch (const EFileTooLarge& error) {
        throw EBadFile(error.what());
    } catch (const Exception&) {
        throw EBadFile(FileName + ": cannot be read");
    }
    return ReadSetupText(text, FileName, Scratch);
}

void ApplySetupImage(const TSetupImage& Image, TDataManager& DataManager, bool WithNetwork)
{
    for (const TSetupSetting& setting : Image) {
        if (!WithNetwork && IsNetworkField(setting.Name))
            continue;
        const TDataItem* item = DataManager.FindItem(setting.Key);
        if (item && SettingText(FieldJson(*item)) == setting.Text)
            continue;
        ApplyField("", DataManager, setting.Key, setting.Text);
    }
}

} // namespace qubra
