// libFuzzer target: one datagram from the network taken in as the engine takes it - as the
// answer of a setup record (read or write confirmation), of a search and of the network
// settings - and every field read back and formatted as the command line prints it.
#include <cstddef>
#include <cstdint>

#include "cli/FieldText.h"
#include "conversation/BuiltInRecords.h"
#include "model/DeviceMapping.h"
#include "net/ARPManager.h"

using namespace qubra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const std::unique_ptr<TDataManager> manager = LoadDeviceMapping("");
    static const std::unique_ptr<TDataPacket> search = BuildSearchingRecord();
    static const std::unique_ptr<TDataPacket> setIP = BuildSetIPRecord();
    const TBytes datagram(Data, Data + Size);

    for (int i = 0; i < manager->PacketCount(); ++i)
        manager->GetPacket(i)->ResetData();
    if (TDataPacket* record = manager->GetPacket(manager->IndexOfAnswer(datagram, ptSetup))) {
        record->KindOf(datagram);
        if (record->IsWholeAnswer(datagram))
            record->AcceptAnswer(datagram);
    }
    manager->IndexOfAnswer(datagram, ptOther);
    JsonText(FieldsJson(*manager));
    FieldsText(*manager);

    search->ResetData();
    search->SetData(datagram);
    search->GetKind();
    ParseMACText(search->GetValue("unit_mac").AsText());

    setIP->ResetData();
    setIP->SetData(datagram);
    setIP->GetKind();
    StrToIP(setIP->GetValue("unit_ip").AsText());
    StrToIP(setIP->GetValue("gateway_ip").AsText());
    TARPManager::HostBitsToMask(static_cast<int>(setIP->GetValue("num_host_bits").Integer()));
    return 0;
}
