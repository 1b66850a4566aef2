// libFuzzer target: a device mapping document, checked and built as at start-up; then every
// record and field looked up and read, the defaults applied, the fields formatted, and the
// export of the records read back as import reads it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/SetupFile.h"
#include "model/DeviceMapping.h"

using namespace qubra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    std::unique_ptr<TDataManager> manager;
    try {
        manager = BuildDeviceMapping(
            TXmlDocument::Parse(std::string_view(reinterpret_cast<const char*>(Data), Size)));
    } catch (const Exception&) {
        return 0;
    }
    for (int p = 0; p < manager->PacketCount(); ++p) {
        const TDataPacket& record = *manager->GetPacket(p);
        if (!manager->FindPacket(record.Name()))
            __builtin_trap();
        for (int i = 0; i < record.ItemCount(); ++i) {
            const TDataItem& item = *record.GetItem(i);
            // A name is split at its first dot.
            const bool dotted = record.Name().find('.') != std::string::npos;
            if ((!dotted && !manager->FindItem(record.Name() + "." + item.Name())) ||
                (item.Name().find('.') == std::string::npos && !manager->FindItem(item.Name())))
                __builtin_trap();
            item.GetValue().AsText();
        }
    }
    manager->ApplyDefaults();
    FieldsText(*manager);
    const std::string exported = JsonText(SetupDocument(*manager, "00-20-4a-00-00-01", "10.0.0.1"));
    try {
        ReadSetupText(exported, "export", *manager);
    } catch (const Exception&) {
        // Values that --set would refuse are refused here too.
    }
    return 0;
}
