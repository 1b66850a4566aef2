// libFuzzer target: a setup file as import reads it against the built-in mapping, and the
// image it gives put into a device's records with and without the network fields.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/SetupFile.h"
#include "model/DeviceMapping.h"

using namespace qubra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const std::unique_ptr<TDataManager> scratch = LoadDeviceMapping("");
    static const std::unique_ptr<TDataManager> device = LoadDeviceMapping("");
    TSetupImage image;
    try {
        image = ReadSetupText(std::string(reinterpret_cast<const char*>(Data), Size), "fuzz", *scratch);
    } catch (const Exception&) {
        return 0;
    }
    for (const bool withNetwork : {false, true}) {
        try {
            ApplySetupImage(image, *device, withNetwork);
        } catch (const EBadFile&) {
            // A value --set refuses for this device.
        }
    }
    FieldsText(*device);
    return 0;
}
