#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/ConsoleView.h"
#include "cli/FieldText.h"
#include "control/DeviceController.h"

namespace qubra {

// One run of qubra-cli: reads the arguments, checks every input before any device is
// contacted, runs the command through the device controller and prints the results.
// The exit status: 0 success, 1 the operation failed, 2 bad usage or bad input,
// 128 + the signal after SIGINT or SIGTERM.
class TCommandLine {
public:
    // TerminalFd: the terminal behind In, or -1 (questions are then answered No).
    // ErrIsTerminal: a batch shows its progress line on Err.
    TCommandLine(std::ostream& Out, std::ostream& Err, std::istream& In, int TerminalFd,
                 bool ErrIsTerminal = false);
    int Run(const std::vector<std::string>& Words);

private:
    void Prepare();
    void LoadLanguage() const;
    std::unique_ptr<TDataManager> LoadLayout() const;
    int Execute();

    int Scan();
    int Find();
    int Read();
    int AssignIP();
    TNetworkSettings NewNetworkSettings(const TMACAddress& MAC);
    int Export();

    bool FindAndRead(const TTarget& Target);
    void Print(const TJson& Json);
    // The current device: {"mac", "ip"} with --json, else the one or both chosen on a line.
    void PrintDevice(bool ShowMAC, bool ShowIP);

    std::ostream& FOut;
    std::ostream& FErr;
    TConsole FConsole;
    TConsoleView FMainView;
    TArguments FArgs;
    std::unique_ptr<TDataManager> FManager;
    std::unique_ptr<TDeviceController> FController;
};

} // namespace qubra
