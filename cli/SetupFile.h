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
// fields.
TJson SetupDocument(const TDataManager& DataManager, const std::string& MAC, const std::string& IP);

// What an export document sets: every field of the setup records that --set can write, in the
// order of the mapping, with the value as --set takes it.
struct TSetupSetting {
    std::string Key;   // RECORD.FIELD
    std::string Name;  // FIELD
    std::string Text;
};
using TSetupImage = std::vector<TSetupSetting>;

// Reads an export document against the layout of Scratch, whose records it overwrites:
// "version" the integer 1, every setup record of the layout present with exactly its size and
// no other record; the values are those of the bytes, except where a readable field differs
// from them: then the field's value, set by the rules of --set. Anything else is refused with
// EBadFile naming the record or field. Files beyond MaxInputFileSize are refused unread.
TSetupImage ReadSetupFile(const std::string& FileName, TDataManager& Scratch);
// The same for the file's text.
TSetupImage ReadSetupText(const std::string& Text, const std::string& FileName, TDataManager& Scratch);

// Sets every value of the image that differs from what the device holds through the path of
// --set, so that a value --set refuses is refused here too (EBadFile naming the field), and
// unit_ip must be an address a device can have. The device's own network fields stay unless
// WithNetwork. What --set cannot write (read-only fields, bytes no field covers) stays the
// device's.
void ApplySetupImage(const TSetupImage& Image, TDataManager& DataManager, bool WithNetwork);

} // namespace qubra
