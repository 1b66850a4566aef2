// The data channel's settings as the setup record's fields give them.
#include <gtest/gtest.h>

#include "cli/ChannelFields.h"
#include "model/DeviceMapping.h"

using namespace qubra;

TEST(ChannelFields, LineFormatAcceptanceAndDatagramModeComeFromTheRecordsFields)
{
    struct TCase {
        std::vector<std::pair<std::string, TItemValue>> Fields;
        std::string Line;
        double BytesPerSecond;
        bool Accepts, Datagrams;
    };
    const std::vector<TCase> cases{
        {{}, "9600 8N1", 960.0, true, false},  // the defaults
        {{{"line_speed", 8}, {"line_interface_mode_parity", 3}}, "115200 8E1", 115200.0 / 11, true, false},
        {{{"line_speed", 7}, {"line_interface_mode_bits", 2}, {"line_interface_mode_parity", 1},
          {"line_interface_mode_stopbits", 3}}, "300 7O2", 300.0 / 11, true, false},
        {{{"line_speed", 12}, {"connection_acceptance", 0}}, "921600 8N1", 92160.0, false, false},
        {{{"connection_acceptance", 1}, {"Directed_UDP", 12}}, "9600 8N1", 960.0, true, true},
        {{{"disconnect_config", 1}}, "9600 8N1", 960.0, true, true},
        // A code without an entry leaves the speed unknown.
        {{{"line_speed", 15}}, "8N1", 0.0, true, false},
    };
    for (const TCase& c : cases) {
        const std::unique_ptr<TDataManager> manager = LoadDeviceMapping("");
        manager->ApplyDefaults();
        TDataPacket& record = *manager->FindPacket("SetupRecord0");
        record.SetValue("unit_port", 4001);
        for (const auto& [field, value] : c.Fields)
            record.SetValue(field, value);
        const TChannelSettings channel = ChannelSettingsOf(*manager, 0x0500007F);
        SCOPED_TRACE(c.Line);
        EXPECT_EQ(channel.LineText(), c.Line);
        EXPECT_DOUBLE_EQ(channel.BytesPerSecond(), c.BytesPerSecond);
        EXPECT_EQ(channel.AcceptsIncoming, c.Accepts);
        EXPECT_EQ(channel.DatagramMode, c.Datagrams);
        EXPECT_EQ(channel.EndpointText(), "127.0.0.5:4001");
    }
}
