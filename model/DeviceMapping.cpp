#include "model/DeviceMapping.h"

#include <filesystem>
#include <system_error>

#include "model/Exception.h"
#include "model/Xml.h"
#include "resources/QUBRA_dmi.h"

namespace qubra {

namespace {

TXmlDocument ReadMappingDocument(const std::string& fileName)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error)) return TXmlDocument::Parse(resources::QUBRA_dmi);
    const std::uintmax_t size = std::filesystem::file_size(fileName, error);
    if (!error && size > MaxMappingFileSize) throw Exception("Device mapping document is too large.");
    return TXmlDocument::ParseFile(fileName);
}

} // namespace

std::unique_ptr<TDataManager> LoadDeviceMapping(const std::string& fileName)
{
    const TXmlDocument document = ReadMappingDocument(fileName);
    const xmlNode* mapping = FirstChildElement(document.DocumentElement(), "device_mapping");
    if (!mapping) throw Exception("Device mapping not found.");
    if (!HasAttribute(mapping, "device_type")) throw Exception("Device type not specified.");
    if (Attribute(mapping, "device_type") != "QUBRA") throw Exception("Wrong device type.");
    const xmlNode* dataManager = FirstChildElement(mapping, "datamanager");
    if (!dataManager) throw Exception("Data manager not defined.");
    return std::make_unique<TDataManager>(dataManager);
}

} // namespace qubra
