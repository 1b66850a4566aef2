// libFuzzer target: the command line's readers of typed values. The input is one value for every
// reader, one --set setting, and the words of a command line (split at line breaks).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/FieldText.h"
#include "cli/InputValues.h"
#include "model/Charset.h"
#include "model/DeviceMapping.h"
#include "model/TextValues.h"

using namespace qubra;

namespace {

template <typename TRead>
void Try(TRead&& Read)
{
    try {
        Read();
    } catch (const Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const std::unique_ptr<TDataManager> manager = LoadDeviceMapping("");
    const std::string text(reinterpret_cast<const char*>(Data), Size);

    Try([&] { ReadBoolean(text); });
    Try([&] { StrToInt64(text); });
    Try([&] { ReadHex(text); });
    Try([&] { Cp1250ToUtf8(Utf8ToCp1250(text)); });
    // An address or MAC read gives the tool's own form, which reads back to the same value.
    Try([&] {
        if (IPToStr(ReadAddress(text)) != text)
            __builtin_trap();
    });
    Try([&] {
        const TMACAddress mac = ReadMAC(text);
        if (ParseMACText(MACToStr(mac)) != mac)
            __builtin_trap();
    });
    for (int i = 0; i < manager->PacketCount(); ++i)
        manager->GetPacket(i)->ResetData();
    Try([&] { ApplySetting(*manager, text); });

    std::vector<std::string> words;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    Try([&] { ParseArguments(words); });
    return 0;
}
