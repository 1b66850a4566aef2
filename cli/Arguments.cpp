#include "cli/Arguments.h"

#include <algorithm>
#include <array>
#include <set>

#include "cli/InputValues.h"
#include "model/TextValues.h"
#include "net/ARPManager.h"

namespace qubra {

const char* const kUsage = R"(Usage:
  qubra-cli [options] scan
  qubra-cli [options] find     (--ip ADDR | --mac MAC)
  qubra-cli [options] read     (--ip ADDR | --mac MAC)
  qubra-cli [options] write    (--ip ADDR | --mac MAC)... --set RECORD.FIELD=VALUE... [BATCH]
  qubra-cli [options] defaults (--ip ADDR | --mac MAC)... [BATCH]
  qubra-cli [options] assign-ip --mac MAC --ip ADDR [--mask MASK] [--gateway ADDR]
  qubra-cli [options] export   (--ip ADDR | --mac MAC) [--out FILE]
  qubra-cli [options] import   (--ip ADDR | --mac MAC)... --in FILE [--with-network] [BATCH]
  qubra-cli [options] provision --plan PLAN --in FILE [BATCH]
BATCH, the options of commands that set up several devices:
  [--jobs N] [--dry-run] [--report FILE]
  --jobs N          devices set up side by side (default 32; 1: one after another)
  --dry-run         read each device and show what would change, field by field; send
                    nothing but the searches and the reads
  --report FILE     a JSON document with a row for each device, also when some failed
PLAN: CSV lines MAC,IP[,MASK[,GATEWAY]]; a header line and # comments allowed; without MASK
and GATEWAY a device gets those of FILE.
Options:
  --port N          device port (default 30718)
  --broadcast ADDR  where searches are broadcast (default 255.255.255.255; scan without it
                    searches every IPv4 interface that is up and can broadcast)
  --timeout MS      answer time-out in milliseconds (default 3500)
  --mapping FILE    device mapping document (default QUBRA.dmi if present, else built in)
  --lang FILE       language file, e.g. english.lng.xml (default: Czech for a Czech
                    locale, English otherwise)
  --yes | --no      answer every question Yes or No (without either: ask on the terminal,
                    and answer No when standard input is not a terminal)
  --json            results as JSON
  --verbose         every status line on standard error
  --help, --version
Exit status: 0 success, 1 the operation failed, 2 bad usage or bad input.
)";

namespace {

struct TCommandRule {
    const char* Name;
    std::size_t MinTargets;
    std::size_t MaxTargets;
};

constexpr std::array kCommands{
    TCommandRule{"scan", 0, 0},     TCommandRule{"find", 1, 1},
    TCommandRule{"read", 1, 1},     TCommandRule{"write", 1, SIZE_MAX},
    TCommandRule{"defaults", 1, SIZE_MAX}, TCommandRule{"assign-ip", 2, 2},
    TCommandRule{"export", 1, 1},   TCommandRule{"import", 1, SIZE_MAX},
    TCommandRule{"provision", 0, 0},
};

// A value's own reader, its message prefixed with the option.
template <typename TReader>
auto OptionValue(const std::string& Option, const std::string& Text, TReader Read)
{
    try {
        return Read(Text);
    } catch (const Exception& error) {
        throw EUsage(Option + ": " + error.what());
    }
}

template <typename TNumber>
TNumber NumberOption(const std::string& Option, const std::string& Text, TNumber Min, TNumber Max)
{
    const std::optional<std::int64_t> value = TryStrToInt64(Text);
    if (!value || *value < Min || *value > Max)
        throw EUsage(Option + ": '" + Text + "' is not a number from " + std::to_string(Min) +
                     " to " + std::to_string(Max));
    return static_cast<TNumber>(*value);
}

std::uint32_t AddressValue(const std::string& Option, const std::string& Text)
{
    return OptionValue(Option, Text, ReadAddress);
}

std::string AddressOption(const std::string& Option, const std::string& Text)
{
    return IPToStr(AddressValue(Option, Text));
}

std::string MaskOption(const std::string& Option, const std::string& Text)
{
    return IPToStr(OptionValue(Option, Text, ReadNetmask));
}

// A device's address, given to find it or to assign it: "no address" and the broadcast
// address are refused, as the address wizard refuses them.
TTarget AddressTarget(const std::string& Text)
{
    TTarget target;
    target.IP = OptionValue("--ip", Text, ReadDeviceAddress);
    target.Text = IPToStr(target.IP);
    return target;
}

TTarget MACTarget(const std::string& Text)
{
    const TMACAddress mac = OptionValue("--mac", Text, ReadDeviceMAC);
    return TTarget{true, MACToStr(mac), 0, mac};
}

void CheckCommand(const TArguments& A)
{
    const auto rule = std::find_if(kCommands.begin(), kCommands.end(),
                                   [&](const TCommandRule& r) { return A.Command == r.Name; });
    if (rule == kCommands.end())
        throw EUsage(A.Command.empty() ? "no command given" : "unknown command '" + A.Command + "'");
    const std::size_t n = A.Targets.size();
    if (A.Command == "assign-ip") {
        const auto macs = std::count_if(A.Targets.begin(), A.Targets.end(),
                                        [](const TTarget& t) { return t.ByMAC; });
        if (n != 2 || macs != 1)
            throw EUsage("assign-ip needs one --mac and one --ip");
    } else if (n < rule->MinTargets || n > rule->MaxTargets) {
        throw EUsage(rule->MaxTargets == 0 ? A.Command + " takes no --ip or --mac"
                     : rule->MaxTargets == 1 ? A.Command + " needs exactly one --ip or --mac"
                                             : A.Command + " needs at least one --ip or --mac");
    }
    const auto only = [&](bool Given, const char* Option, std::initializer_list<const char*> Commands) {
        if (!Given || std::any_of(Commands.begin(), Commands.end(),
                                  [&](const char* Command) { return A.Command == Command; }))
            return;
        std::string names;
        for (const char* command : Commands)
            names += (names.empty() ? "" : ", ") + std::string(command);
        throw EUsage(std::string(Option) + " belongs to " + names);
    };
    const std::initializer_list<const char*> batch{"write", "defaults", "import", "provision"};
    only(!A.Settings.empty(), "--set", {"write"});
    only(!A.Mask.empty(), "--mask", {"assign-ip"});
    only(!A.Gateway.empty(), "--gateway", {"assign-ip"});
    only(!A.OutFile.empty(), "--out", {"export"});
    only(!A.InFile.empty(), "--in", {"import", "provision"});
    only(!A.PlanFile.empty(), "--plan", {"provision"});
    only(A.WithNetwork, "--with-network", {"import"});
    only(A.DryRun, "--dry-run", batch);
    only(!A.ReportFile.empty(), "--report", batch);
    only(A.JobsGiven, "--jobs", batch);
    if (A.Command == "write" && A.Settings.empty())
        throw EUsage("write needs at least one --set RECORD.FIELD=VALUE");
    if ((A.Command == "import" || A.Command == "provision") && A.InFile.empty())
        throw EUsage(A.Command + " needs --in FILE");
    if (A.Command == "provision" && A.PlanFile.empty())
        throw EUsage("provision needs --plan PLAN");
}

} // namespace

TArguments ParseArguments(const std::vector<std::string>& Words)
{
    TArguments a;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < Words.size(); ++i) {
        const std::string& word = Words[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= Words.size())
                throw EUsage(word + " needs a value");
            return Words[++i];
        };
        // Options that take one value may be given once.
        const auto once = [&] {
            if (!seen.insert(word).second)
                throw EUsage(word + " given twice");
        };
        if (word == "--help") a.Help = true;
        else if (word == "--version") a.Version = true;
        else if (word == "--json") a.Json = true;
        else if (word == "--verbose") a.Verbose = true;
        else if (word == "--with-network") a.WithNetwork = true;
        else if (word == "--dry-run") a.DryRun = true;
        else if (word == "--yes" || word == "--no") {
            const TAnswerPolicy policy = word == "--yes" ? TAnswerPolicy::Yes : TAnswerPolicy::No;
            if (a.Answers != TAnswerPolicy::Ask && a.Answers != policy)
                throw EUsage("--yes and --no exclude each other");
            a.Answers = policy;
        } else if (word == "--ip") a.Targets.push_back(AddressTarget(value()));
        else if (word == "--mac") a.Targets.push_back(MACTarget(value()));
        else if (word == "--set") {
            const std::string& setting = value();
            if (setting.find('=') == std::string::npos)
                throw EUsage("--set: '" + setting + "' is not RECORD.FIELD=VALUE");
            a.Settings.push_back(setting);
        } else if (word == "--port") once(), a.Port = NumberOption<std::uint16_t>(word, value(), 1, 65535);
        else if (word == "--timeout") once(), a.Timeout = NumberOption<std::int32_t>(word, value(), 1, 3600000);
        else if (word == "--broadcast") once(), a.Broadcast = AddressOption(word, value());
        else if (word == "--mask") once(), a.Mask = MaskOption(word, value());
        else if (word == "--gateway") once(), a.Gateway = AddressOption(word, value());
        else if (word == "--mapping") once(), a.MappingFile = value();
        else if (word == "--lang") once(), a.LanguageFile = value();
        else if (word == "--out") once(), a.OutFile = value();
        else if (word == "--in") once(), a.InFile = value();
        else if (word == "--plan") once(), a.PlanFile = value();
        else if (word == "--report") once(), a.ReportFile = value();
        else if (word == "--jobs") once(), a.Jobs = NumberOption<int>(word, value(), 1, kMaxJobs), a.JobsGiven = true;
        else if (word.starts_with("-")) throw EUsage("unknown option '" + word + "'");
        else if (a.Command.empty()) a.Command = word;
        else throw EUsage("unexpected argument '" + word + "'");
    }
    if (!a.Help && !a.Version)
        CheckCommand(a);
    return a;
}

} // namespace qubra
