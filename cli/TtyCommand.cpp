#include "cli/TtyCommand.h"

#include <csignal>
#include <optional>
#include <ostream>

#include "channel/TerminalBridge.h"
#include "cli/ChannelFields.h"
#include "cli/Interrupt.h"
#include "i18n/ChannelMessages.h"
#include "i18n/Language.h"

namespace qubra {

namespace {

// The bridge's events as status lines.
class TConsoleBridgeEvents : public TBridgeEvents {
public:
    TConsoleBridgeEvents(TConsole& Console, const TChannelSettings& Channel)
        : FConsole(Console), FEndpoint(Channel.EndpointText())
    {
    }

    void Connected(std::size_t HeldSent, std::uint64_t Dropped) override
    {
        FConsole.Line(GetText(msgSpojenoSDatovym) + FEndpoint);
        if (HeldSent > 0)
            FConsole.Line(GetText(msgOdeslanoPodrzenych) + std::to_string(HeldSent));
        if (Dropped > 0)
            FConsole.Line(GetText(msgZahozenoBehem) + std::to_string(Dropped));
    }
    void ConnectFailed(const std::string& Reason, int PauseMs) override
    {
        FConsole.Line(GetText(msgNelzeSeSpojit) + FEndpoint + ": " + Reason + GetText(msgDalsiPokusZa) +
                      std::to_string(PauseMs) + " ms");
    }
    void Disconnected(const std::string& Reason) override
    {
        FConsole.Line(GetText(msgSpojeniPreruseno) + (Reason.empty() ? GetText(msgZarizeniUkoncilo) : Reason));
    }
    void HoldFull(std::size_t Limit) override
    {
        FConsole.Line(GetText(msgVyrovnavaciPamet) + std::to_string(Limit) + GetText(msgBajtuDalsiZapsane));
    }
    void LineSettingsIgnored() override { FConsole.Line(GetText(msgNastaveniLinkyTerm)); }

private:
    TConsole& FConsole;
    std::string FEndpoint;
};

} // namespace

int RunTty(TCommandContext& Context)
{
    const TArguments& args = Context.Args;
    // A link that could not be made is refused before the device is contacted.
    if (!args.LinkPath.empty()) {
        try {
            TTerminalLink::Check(args.LinkPath);
        } catch (const EChannelError& error) {
            throw EUsage(error.what());
        }
    }
    const std::optional<TChannelSettings> channel = ReadChannel(Context);
    if (!channel)
        return 1;
    // The bridge runs long: a reader of its output that went away must not end it before the
    // link is removed.
    std::signal(SIGPIPE, SIG_IGN);
    TConsoleBridgeEvents events(Context.Console, *channel);
    TTerminalBridge::TOptions options;
    options.HoldLimit = args.HoldBytes.value_or(options.HoldLimit);
    TTerminalBridge bridge(*channel, options, events);
    std::optional<TTerminalLink> link;
    if (!args.LinkPath.empty()) {
        link.emplace(args.LinkPath, bridge.TerminalPath());
        Context.Console.Line(GetText(msgOdkazNaTerminal) + args.LinkPath + " -> " + bridge.TerminalPath());
    }
    Context.Out << bridge.TerminalPath() << std::endl;
    const TBridgeCounts counts = bridge.Run(InterruptWakeUpHandle());
    Context.Console.Line(GetText(msgBajtyDoZarizeni) + std::to_string(counts.ToDevice) + " / " +
                         std::to_string(counts.FromDevice) + " / " + std::to_string(counts.Held) + " / " +
                         std::to_string(counts.Dropped));
    // The bridge ends only on a signal; the link goes as this unwinds.
    ThrowIfInterrupted();
    return 0;
}

} // namespace qubra
