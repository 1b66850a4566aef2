#include "model/DeviceMapping.h"

#include <filesystem>
#include <system_error>

#include "model/Exception.h"
#include "model/Xml.h"
#include "resources/QUBRA_dmi.h"

namespace qubra {

namespace {

// Parsed once and kept: every manager built from the built-in mapping reads the same tree, which
// nothing changes, so the threads of a scan may share it.
const TXmlDocument& BuiltInMapping()
{
    static const TXmlDocument document = TXmlDocument::Parse(resources::QUBRA_dmi);
    return document;
}

} // namespace

std::unique_ptr<TDataManager> BuildDeviceMapping(const TXmlDocument& document)
{
    const xmlNode* mapping = FirstChildElement(document.DocumentElement(), "device_mapping");
    if (!mapping) throw Exception("Device mapping not found.");
    if (!HasAttribute(mapping, "device_type")) throw Exception("Device type not specified.");
    if (Attribute(mapping, "device_type") != "QUBRA") throw Exception("Wrong device type.");
    const xmlNode* dataManager = FirstChildElement(mapping, "datamanager");
    if (!dataManager) throw Exception("Data manager not defined.");
    return std::make_unique<TDataManager>(dataManager);
}

std::unique_ptr<TDataManager> LoadDeviceMapping(const std::string& fileName)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error)) return BuildDeviceMapping(BuiltInMapping());
    try {
        return BuildDeviceMapping(TXmlDocument::ParseFile(fileName, MaxMappingFileSize));
    } catch (const EFileTooLarge&) {
        throw Exception("Device mapping document is too large.");
    }
}

} // namespace qubra
