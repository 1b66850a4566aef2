#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/DeviceBatch.h"
#include "conversation/DataSender.h"
#include "model/Conversions.h"
#include "model/Exception.h"

namespace qubra {

// Bad usage: the message is shown with the hint to --help, and the program ends with 2.
class EUsage : public Exception {
public:
    using Exception::Exception;
};

enum class TAnswerPolicy { Ask, Yes, No };

// A device named on the command line: by address or by MAC. Text is the form the tool itself
// writes (IPToStr or MACToStr), whatever form the user typed.
struct TTarget {
    bool ByMAC = false;
    std::string Text;
    std::uint32_t IP = 0;
    TMACAddress MAC{};
};

struct TArguments {
    std::string Command;
    std::vector<TTarget> Targets;  // in the order given
    std::vector<std::string> Settings;  // "RECORD.FIELD=VALUE", in the order given
    std::string Mask;     // addresses as IPToStr writes them; empty: not given
    std::string Gateway;
    std::string OutFile;
    std::string InFile;
    std::string PlanFile;
    std::string ReportFile;
    bool WithNetwork = false;
    // Devices set up side by side at most.
    int Jobs = TDeviceBatch::kDefaultJobs;
    bool JobsGiven = false;
    // Read each device and show what would change; send nothing else.
    bool DryRun = false;
    std::uint16_t Port = TfDataSender::kDefaultDevicePort;
    std::string Broadcast;  // empty: not given
    std::int32_t Timeout = TfDataSender::kDefaultAnswerTimeout;
    std::string MappingFile;  // empty: QUBRA.dmi in the working directory, else the built-in
    std::string LanguageFile;
    TAnswerPolicy Answers = TAnswerPolicy::Ask;
    bool Json = false;
    bool Verbose = false;
    bool Help = false;
    bool Version = false;
};

extern const char* const kUsage;
// The most devices --jobs lets run side by side: each has a thread and a socket of its own.
inline constexpr int kMaxJobs = 256;

// Errors in what the user gave, raised by Body: reported with the usage hint, ending the run
// with 2.
template <typename TBody>
void CheckInput(TBody&& Body)
{
    try {
        Body();
    } catch (const EUsage&) {
        throw;
    } catch (const std::exception& error) {
        throw EUsage(error.what());
    }
}

// Reads the options and the command, and checks that the command got what it needs and
// nothing it cannot use; raises EUsage.
TArguments ParseArguments(const std::vector<std::string>& Words);

} // namespace qubra
