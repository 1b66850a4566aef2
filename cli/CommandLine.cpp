#include "cli/CommandLine.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>

#include <unistd.h>

#include "cli/BatchSetup.h"
#include "cli/ChannelTestCommand.h"
#include "cli/Interrupt.h"
#include "cli/LocaleLanguage.h"
#include "cli/SetupFile.h"
#include "cli/TtyCommand.h"
#include "control/Scanner.h"
#include "i18n/Language.h"
#include "model/Conversions.h"
#include "model/DeviceMapping.h"

namespace qubra {

namespace {

constexpr const char* kDefaultMappingFile = "QUBRA.dmi";

const TTarget& TargetOf(const TArguments& Args, bool ByMAC)
{
    for (const TTarget& target : Args.Targets)
        if (target.ByMAC == ByMAC)
            return target;
    throw EUsage(ByMAC ? "--mac missing" : "--ip missing");
}

// A console view for each communication window.
TDataSenderViewFactory ConsoleViews(TConsole& Console)
{
    return [&Console] { return std::make_unique<TConsoleView>(Console); };
}

} // namespace

TCommandLine::TCommandLine(std::ostream& Out, std::ostream& Err, std::istream& In,
                           int TerminalFd, bool ErrIsTerminal)
    : FOut(Out), FErr(Err), FConsole(Err, In, TerminalFd), FMainView(FConsole)
{
    FConsole.ShowProgress = ErrIsTerminal;
}

int TCommandLine::Run(const std::vector<std::string>& Words)
{
    try {
        FArgs = ParseArguments(Words);
        if (FArgs.Help) {
            FOut << kUsage;
            return 0;
        }
        if (FArgs.Version) {
            FOut << "qubra-cli " << QUBRA_VERSION << "\n";
            return 0;
        }
        CheckInput([&] {
            const TImmediateStop reading;
            Prepare();
        });
        const int status = Execute();
        // A command stopped by a signal ends as a failure; the signal decides the status.
        ThrowIfInterrupted();
        return status;
    } catch (const EUsage& error) {
        // The message may quote what was typed, line breaks and all.
        FErr << "qubra-cli: " << EscapeControls(error.what()) << "\nTry 'qubra-cli --help'.\n";
        return 2;
    } catch (const EOperationCancelled&) {
        FErr << "qubra-cli: interrupted, stopped after cleaning up\n";
        return 128 + InterruptSignal();
    } catch (const std::exception& error) {
        FErr << "qubra-cli: " << error.what() << "\n";
        return 1;
    }
}

void TCommandLine::Prepare()
{
    FConsole.Verbose = FArgs.Verbose;
    FConsole.Answers = FArgs.Answers;
    LoadLanguage();
    FManager = LoadLayout();
    FController = std::make_unique<TDeviceController>(
        *FManager, FMainView, ConsoleViews(FConsole));
    FController->Link.DevicePort = FArgs.Port;
    if (!FArgs.Broadcast.empty())
        FController->Link.BroadcastIP = FArgs.Broadcast;
    FController->Link.AnswerTimeout = FArgs.Timeout;
}

void TCommandLine::LoadLanguage() const
{
    const bool given = !FArgs.LanguageFile.empty();
    const std::string file = given ? FArgs.LanguageFile : LocaleLanguageFile();
    std::string missing;
    Language.OnMessage = [&](const std::string& text) { missing = text; };
    Language.LoadLanguage(file);
    Language.OnMessage = nullptr;
    if (!missing.empty()) {
        // The file the locale picked may be absent from a bare build; the built-in texts stand.
        if (given)
            throw EBadFile(missing);
        return;
    }
    LanguageFile = file;
}

std::unique_ptr<TDataManager> TCommandLine::LoadLayout() const
{
    if (FArgs.MappingFile.empty())
        return LoadDeviceMapping(kDefaultMappingFile);
    std::error_code error;
    if (!std::filesystem::is_regular_file(FArgs.MappingFile, error))
        throw EBadFile(FArgs.MappingFile + ": no such file");
    return LoadDeviceMapping(FArgs.MappingFile);
}

int TCommandLine::Execute()
{
    const std::string& c = FArgs.Command;
    if (c == "scan")
        return Scan();
    if (c == "find")
        return Find();
    if (c == "read")
        return Read();
    if (c == "assign-ip")
        return AssignIP();
    if (c == "export")
        return Export();
    TCommandContext context{FOut, FConsole, FArgs, *FController, [this] { return LoadLayout(); }};
    if (c == "tty")
        return RunTty(context);
    if (c == "channel-test")
        return RunChannelTest(context);
    // The commands that set up devices, side by side.
    using TCommand = int (*)(const TCommandContext&);
    static const std::map<std::string, TCommand> setup{
        {"write", WriteCommand},
        {"defaults", DefaultsCommand},
        {"import", ImportCommand},
        {"provision", ProvisionCommand},
    };
    if (!FArgs.ReportFile.empty())
        CheckOutFile(FArgs.ReportFile);
    return setup.at(c)(context);
}

void TCommandLine::Print(const TJson& Json)
{
    const TImmediateStop formatting;
    FOut << JsonText(Json);
}

int TCommandLine::Scan()
{
    TScanner scanner(ConsoleViews(FConsole), FController->Link, [this] { return LoadLayout(); });
    const std::vector<TScanEntry> devices = scanner.Scan(FArgs.Broadcast.empty());
    ThrowIfInterrupted();
    TJson list = TJson::array();
    for (const TScanEntry& device : devices) {
        if (FArgs.Json) {
            TJson entry{{"mac", device.MAC}, {"ip", device.IP}, {"shared_ip", device.SharedIP}};
            if (!device.Interface.empty())
                entry["interface"] = device.Interface;
            list.push_back(entry);
        } else {
            FOut << device.MAC << " " << device.IP
                 << (device.Interface.empty() ? "" : " " + device.Interface)
                 << (device.SharedIP ? " shared-ip" : "") << "\n";
        }
    }
    if (FArgs.Json)
        Print(list);
    if (devices.empty()) {
        FConsole.Line(GetText(msgZarizeniNebylo));
        return 1;
    }
    return 0;
}

int TCommandLine::Find()
{
    const TTarget& target = FArgs.Targets.front();
    if (!FController->FindDevice(target.IP, target.MAC))
        return 1;
    PrintDevice(!target.ByMAC, target.ByMAC);
    return 0;
}

void TCommandLine::PrintDevice(bool ShowMAC, bool ShowIP)
{
    const std::string mac = MACToStr(FController->DeviceMAC);
    const std::string ip = IPToStr(FController->DeviceIP);
    if (FArgs.Json)
        Print({{"mac", mac}, {"ip", ip}});
    else
        FOut << (ShowMAC ? mac : "") << (ShowMAC && ShowIP ? " " : "") << (ShowIP ? ip : "") << "\n";
}

bool TCommandLine::FindAndRead(const TTarget& Target)
{
    return FController->FindAndReadDevice(Target.IP, nullptr, Target.MAC);
}

int TCommandLine::Read()
{
    if (!FindAndRead(FArgs.Targets.front()))
        return 1;
    const TImmediateStop formatting;
    if (FArgs.Json)
        Print(FieldsJson(*FManager));
    else
        FOut << FieldsText(*FManager);
    return 0;
}

int TCommandLine::Export()
{
    if (!FArgs.OutFile.empty())
        CheckOutFile(FArgs.OutFile);
    if (!FindAndRead(FArgs.Targets.front()))
        return 1;
    if (FArgs.OutFile.empty()) {
        const TImmediateStop formatting;
        Print(SetupDocument(*FManager, MACToStr(FController->DeviceMAC), IPToStr(FController->DeviceIP)));
        return 0;
    }
    // Written under a name of its own beside the file and renamed: the file is whole or untouched.
    const std::string temporary = FArgs.OutFile + ".part-" + std::to_string(getpid());
    TImmediateStop writing(temporary);
    const std::string text = JsonText(
        SetupDocument(*FManager, MACToStr(FController->DeviceMAC), IPToStr(FController->DeviceIP)));
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    std::error_code error;
    if (!file || (std::filesystem::rename(temporary, FArgs.OutFile, error), error)) {
        std::filesystem::remove(temporary, error);
        throw EUsage(FArgs.OutFile + ": cannot be written");
    }
    writing.KeepFile();
    return 0;
}

// What is not given keeps the device's own setting, as the address wizard offers the device's
// settings for change; without them the standard mask of the address and no gateway.
TNetworkSettings TCommandLine::NewNetworkSettings(const TMACAddress& MAC)
{
    TNetworkSettings settings{TargetOf(FArgs, false).Text, 0, "0.0.0.0"};
    if (FArgs.Mask.empty() || FArgs.Gateway.empty()) {
        TNetworkSettings own;
        const bool read = FController->ReadNetworkSettings(MAC, own);
        ThrowIfInterrupted();
        if (read) {
            settings.Mask = own.Mask;
            settings.Gateway = own.Gateway;
        } else {
            FConsole.Line("qubra-cli: the device's network settings could not be read; what "
                          "--mask and --gateway do not give becomes the standard mask and 0.0.0.0");
        }
    }
    if (!FArgs.Mask.empty())
        settings.Mask = *ParseIPText(FArgs.Mask);
    if (!FArgs.Gateway.empty())
        settings.Gateway = FArgs.Gateway;
    return settings;
}

int TCommandLine::AssignIP()
{
    const TMACAddress& mac = TargetOf(FArgs, true).MAC;
    const TNetworkSettings settings = NewNetworkSettings(mac);
    const std::string& newIP = settings.IP;

    const TAssignResult result = FController->AssignAddress(mac, newIP, settings.Mask, settings.Gateway);
    ThrowIfInterrupted();
    if (result.Outcome != TAssignOutcome::Assigned) {
        // An error was reported as it happened.
        if (result.Outcome == TAssignOutcome::NotAssigned)
            FConsole.Line(GetText(result.DeviceAnswered ? msgIPNebylaNastav : msgZarizeniNebyloExclamation));
        return 1;
    }
    FConsole.Line(GetText(msgIPAdresaBylaN) + newIP + ".");
    if (!FController->ReadAssignedDevice(mac, msgZarizeniNebylo0FullStop))
        return 1;
    PrintDevice(true, true);
    return 0;
}

} // namespace qubra
