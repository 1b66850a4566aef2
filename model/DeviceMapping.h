#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/DataManager.h"
#include "model/Xml.h"

namespace qubra {

// A mapping file larger than this is refused rather than read.
constexpr std::size_t MaxMappingFileSize = MaxInputFileSize;

// The start-up sequence: the built-in device mapping, replaced by the file `fileName` when a
// regular file of that name exists; the document is checked and its records built. Throws
// qubra::Exception with the parser's or the check's message ("Device mapping not found." ...).
std::unique_ptr<TDataManager> LoadDeviceMapping(const std::string& fileName = "QUBRA.dmi");
// The checks and the records of a parsed mapping document, with the same messages.
std::unique_ptr<TDataManager> BuildDeviceMapping(const TXmlDocument& document);

} // namespace qubra
