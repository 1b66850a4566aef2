#include "cli/SetupFile.h"

#include <fstream>
#include <sstream>

#include "model/Conversions.h"
#include "model/DataPacket.h"

namespace qubra {

namespace {

constexpr const char* kFormat = "qubra232-setup";
constexpr int kFormatVersion = 1;

std::vector<TDataPacket*> SetupRecords(const TDataManager& DataManager)
{
    std::vector<TDataPacket*> records;
    for (int i = 0; i < DataManager.PacketCount(); ++i)
        if (DataManager.GetPacket(i)->PacketType() == ptSetup)
            records.push_back(DataManager.GetPacket(i));
    return records;
}

TJson ParseFile(const std::string& FileName)
{
    std::ifstream file(FileName, std::ios::binary);
    if (!file)
        throw EBadFile(FileName + ": cannot be read");
    std::ostringstream text;
    text << file.rdbuf();
    try {
        return TJson::parse(text.str());
    } catch (const nlohmann::json::exception& error) {
        throw EBadFile(FileName + ": " + error.what());
    }
}

TBytes RecordBytes(const std::string& FileName, const TJson& Records, const TDataPacket& Record)
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

} // namespace

TJson SetupDocument(const TDataManager& DataManager, const std::string& MAC, const std::string& IP)
{
    TJson records = TJson::object();
    for (const TDataPacket* record : SetupRecords(DataManager))
        records[record->Name()] = BytesToHex(record->GetData());
    return TJson{{"format", kFormat},
                 {"version", kFormatVersion},
                 {"mac", MAC},
                 {"ip", IP},
                 {"records", records},
                 {"fields", FieldsJson(DataManager)}};
}

TSetupImage ReadSetupFile(const std::string& FileName, const TDataManager& Layout)
{
    const TJson document = ParseFile(FileName);
    if (!document.is_object() || document.value("format", "") != kFormat)
        throw EBadFile(FileName + ": not a setup file (\"format\" is not \"" + kFormat + "\")");
    if (document.value("version", 0) != kFormatVersion)
        throw EBadFile(FileName + ": unknown version");
    const auto records = document.find("records");
    if (records == document.end() || !records->is_object())
        throw EBadFile(FileName + ": no \"records\" object");

    TSetupImage image;
    for (const TDataPacket* record : SetupRecords(Layout))
        image.emplace_back(record->Name(), RecordBytes(FileName, *records, *record));
    for (const auto& [name, value] : records->items())
        if (!Layout.FindPacket(name) || Layout.FindPacket(name)->PacketType() != ptSetup)
            throw EBadFile(FileName + ": record " + name + " is not a setup record of this device");
    return image;
}

void ApplySetupImage(const TSetupImage& Image, TDataManager& DataManager, bool WithNetwork)
{
    std::vector<TItemValue> own;
    for (const char* field : kNetworkFields)
        own.push_back(DataManager.GetValue(field));
    for (const auto& [name, bytes] : Image)
        DataManager.FindPacket(name)->SetData(bytes);
    if (WithNetwork)
        return;
    for (std::size_t i = 0; i < own.size(); ++i)
        if (!own[i].IsNull())
            DataManager.SetValue(kNetworkFields[i], own[i]);
}

} // namespace qubra
