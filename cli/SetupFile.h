#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/FieldText.h"
#include "model/Bytes.h"
#include "model/DataManager.h"

namespace qubra {

// A file that cannot be read or does not hold what it must: the program ends with 2.
class EBadFile : public Exception {
public:
    using Exception::Exception;
};

// The fields a device keeps on import unless the network settings are taken as well.
inline constexpr const char* kNetworkFields[] = {"unit_ip", "gateway_ip", "num_host_bits"};

// The export document: the device, the raw bytes of every setup record in hex, and the readable
// fields (for people; import takes the bytes).
TJson SetupDocument(const TDataManager& DataManager, const std::string& MAC, const std::string& IP);

// The setup records of an export document, by record name, checked against the layout: every
// setup record of the layout present, with exactly its size.
using TSetupImage = std::vector<std::pair<std::string, TBytes>>;
TSetupImage ReadSetupFile(const std::string& FileName, const TDataManager& Layout);

// Puts the image into the records; the device's own network fields stay unless WithNetwork.
void ApplySetupImage(const TSetupImage& Image, TDataManager& DataManager, bool WithNetwork);

} // namespace qubra
