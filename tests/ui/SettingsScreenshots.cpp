#include "SettingsScreenshots.h"

#include "control/SettingsControls.h"
#include "model/Conversions.h"
#include "model/DeviceMapping.h"
#include "ui/SettingsPages.h"

namespace qubra::test {

bool SaveSettingsPages(const TSaveShot& Save)
{
    // No file of that name: the built-in mapping.
    const std::unique_ptr<TDataManager> manager = LoadDeviceMapping("");
    // The address has no default; it stays as the device sent it.
    manager->SetValue("SetupRecord0.unit_ip", static_cast<std::int64_t>(StrToIP("192.168.1.254")));
    manager->ApplyDefaults();
    const std::uint32_t deviceIP = StrToIP("192.168.1.254");
    TSettingsPages pages(*manager, deviceIP);
    pages.Binding().RecordToControls();
    if (!Save(pages, "settings-data-channel.png")) return false;
    pages.ShowTabPage(kNetworkTab);
    return Save(pages, "settings-network.png");
}

} // namespace qubra::test
