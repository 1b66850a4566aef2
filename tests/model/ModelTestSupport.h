#pragma once

#include <memory>
#include <string>

#include "model/DataManager.h"
#include "model/DeviceMapping.h"
#include "model/Xml.h"

namespace qubra::test {

// The built-in mapping (the file name given cannot exist).
inline std::unique_ptr<TDataManager> BuiltInMapping() { return LoadDeviceMapping("/nonexistent/QUBRA.dmi"); }

// A manager built from the `datamanager` element of a document with the given packets.
inline std::unique_ptr<TDataManager> MappingOf(const std::string& packets)
{
    const TXmlDocument doc = TXmlDocument::Parse("<root><datamanager name=\"T\">" + packets + "</datamanager></root>");
    return std::make_unique<TDataManager>(FirstChildElement(doc.DocumentElement(), "datamanager"));
}

} // namespace qubra::test
