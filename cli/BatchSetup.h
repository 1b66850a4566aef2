#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/ConsoleView.h"
#include "cli/FieldText.h"
#include "control/DeviceController.h"
#include "control/LinkSettings.h"

namespace qubra {

// What a command gets from the command line: its arguments, where results and lines go, how the
// devices are reached, and fresh records of the device mapping.
struct TCommandContext {
    std::ostream& Out;
    TConsole& Console;
    const TArguments& Args;
    TLinkSettings Link;
    std::function<std::unique_ptr<TDataManager>()> LoadLayout;
};

// A field whose text the command changes (or would change): as read shows it.
struct TFieldChange {
    std::string Key;
    std::string Old;
    std::string New;
};

// How one device of a batch went: a row of the report.
struct TDeviceRow {
    std::string Target;
    std::string MAC;        // empty while not known
    std::string IPBefore;   // as found
    std::string IPAfter;    // as read back; in a dry run, the address it would get
    bool Ok = false;
    bool Started = false;
    std::vector<TFieldChange> Changes;
    std::string Error;      // why it failed
    // A dry run found the device but could not read it: Note says why, and Changes holds only
    // what is known without the records.
    bool Unread = false;
    std::string Note;
    // The text of the device's last notice (error or warning) so far.
    const std::string* LastNotice = nullptr;
    double Seconds = 0;
    TJson Fields;           // read back, when it ended well (not in a dry run)
    std::string FieldsText;
};

// The steps of one device of a setup batch, on that device's own thread.
struct TSetupSteps {
    // Finds the device and reads its records into the controller; false when that failed.
    std::function<bool(std::size_t Index, TDeviceController& Device, TDeviceRow& Row)> Reach;
    // Changes the records as the command does.
    std::function<void(std::size_t Index, TDataManager& Records)> Edit;
};

// Runs Steps on every target side by side (--jobs), then, unless --dry-run, writes each device
// with the warnings, waits for it, reads it back and checks that every field written reads back
// as written. Prints the devices in the order given, writes --report, and returns the exit
// status: 0 when every device ended well, 1 otherwise.
int RunSetupBatch(const TCommandContext& Context, const std::vector<std::string>& Targets,
                  const TSetupSteps& Steps);

// Fails the run (EUsage) when a file for FileName cannot be made: checked before any device is
// reached.
void CheckOutFile(const std::string& FileName);

// The fields whose text differs between the two lists of SetupTexts.
using TFieldTexts = std::vector<std::pair<std::string, std::string>>;
TFieldTexts SetupTexts(const TDataManager& Records);
std::vector<TFieldChange> ChangedFields(const TFieldTexts& Before, const TFieldTexts& After);
// The fields written whose read-back text is not the one written; empty when all are.
std::vector<TFieldChange> ReadBackDifferences(const std::vector<TFieldChange>& Written,
                                              const TFieldTexts& ReadBack);
// The report document: the command, whether it was a dry run, and a row for each device.
TJson ReportDocument(const std::string& Command, bool DryRun, const std::vector<TDeviceRow>& Rows);

} // namespace qubra

namespace qubra {

// The commands that set up devices, each in a file of its own.
int WriteCommand(const TCommandContext& Context);
int DefaultsCommand(const TCommandContext& Context);
int ImportCommand(const TCommandContext& Context);
int ProvisionCommand(const TCommandContext& Context);

} // namespace qubra
