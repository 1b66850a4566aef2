#include "cli/ChannelTestCommand.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>

#include "channel/LoopbackTest.h"
#include "cli/ChannelFields.h"
#include "cli/FieldText.h"
#include "cli/Interrupt.h"
#include "i18n/ChannelMessages.h"
#include "i18n/Language.h"

namespace qubra {

namespace {

constexpr std::size_t kFewestBytes = 64;
constexpr std::size_t kMostBytes = 1 << 20;
constexpr std::size_t kBytesAtUnknownSpeed = 4096;

// What the line carries in two seconds, so that the test takes about as long at any speed.
std::size_t DefaultBytes(const TChannelSettings& Channel)
{
    const double perSecond = Channel.BytesPerSecond();
    if (perSecond <= 0)
        return kBytesAtUnknownSpeed;
    return std::clamp(static_cast<std::size_t>(2 * perSecond), kFewestBytes, kMostBytes);
}

std::string Fixed(double Value, int Decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", Decimals, Value);
    return text;
}

int LinePercent(const TLoopbackResult& Result)
{
    return Result.LineBytesPerSecond > 0
               ? static_cast<int>(std::lround(100 * Result.BytesPerSecond / Result.LineBytesPerSecond))
               : 0;
}

TJson ResultJson(const TChannelSettings& Channel, const TLoopbackResult& Result)
{
    const bool burstBack = Result.Received >= Result.BurstBytes;
    return {
        {"endpoint", Channel.EndpointText()},
        {"line", Channel.LineText()},
        {"sent", Result.Sent},
        {"received", Result.Received},
        {"wrong_bytes", Result.WrongBytes},
        {"first_error_offset", Result.FirstWrong < 0 ? TJson() : TJson(Result.FirstWrong)},
        {"burst_bytes", Result.BurstBytes},
        {"round_trip_ms", burstBack ? TJson(Result.RoundTripMs) : TJson()},
        {"bytes_per_second", Result.BytesPerSecond},
        {"line_bytes_per_second", Result.LineBytesPerSecond},
        {"line_use_percent", LinePercent(Result)},
        {"passed", Result.Passed()},
    };
}

void PrintResult(std::ostream& Out, const TChannelSettings& Channel, const TLoopbackResult& Result)
{
    Out << GetText(msgOdeslanoBajtu) << Result.Sent << "\n"
        << GetText(msgPrijatoBajtu) << Result.Received << "\n"
        << GetText(msgChybneBajty) << Result.WrongBytes << "\n";
    if (Result.WrongBytes > 0)
        Out << GetText(msgPrvniChybnyBajt) << Result.FirstWrong << "\n";
    if (Result.Received < Result.Sent)
        Out << GetText(msgChybejiBajtyOd) << Result.Received << "\n";
    Out << GetText(msgOdezvaKratkeho)
        << (Result.Received >= Result.BurstBytes ? Fixed(Result.RoundTripMs, 1) : "-") << "\n"
        << GetText(msgPropustnost) << Fixed(Result.BytesPerSecond, 0) << "\n"
        << GetText(msgLinkaDovoluje) << Fixed(Result.LineBytesPerSecond, 0) << " (" << Channel.LineText()
        << ", " << LinePercent(Result) << " %)\n"
        << GetText(Result.Passed() ? msgVsechnyBajtySe : msgTestSmyckyNeprosel) << "\n";
}

} // namespace

int RunChannelTest(TCommandContext& Context)
{
    const std::optional<TChannelSettings> channel = ReadChannel(Context);
    if (!channel)
        return 1;
    TLoopbackTest test(*channel, Context.Args.TestBytes.value_or(DefaultBytes(*channel)));
    TLoopbackResult result;
    try {
        result = test.Run(InterruptWakeUpHandle());
    } catch (const EChannelError& error) {
        throw Exception(GetText(msgNelzeSeSpojit) + error.what());
    }
    ThrowIfInterrupted();
    if (Context.Args.Json)
        Context.Out << JsonText(ResultJson(*channel, result));
    else
        PrintResult(Context.Out, *channel, result);
    if (result.Received == 0)
        Context.Console.Line(GetText(msgNevratilSeZadny));
    return result.Passed() ? 0 : 1;
}

} // namespace qubra
