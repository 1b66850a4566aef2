#pragma once

#include <string>

namespace qubra {

// While one lives, the program does work that changes nothing outside it - reading files,
// parsing, building and formatting its output, writing a temporary file - and may run long on a
// large input without looking at the signal flag: SIGINT or SIGTERM then ends the program at
// once with 128 + the signal and the interrupt message, after removing TemporaryFile if given.
// A signal received before raises EOperationCancelled at once.
class TImmediateStop {
public:
    explicit TImmediateStop(const std::string& TemporaryFile = "");
    ~TImmediateStop();
    TImmediateStop(const TImmediateStop&) = delete;
    TImmediateStop& operator=(const TImmediateStop&) = delete;
    // Keeps the temporary file, once it has become the file it stood for.
    void KeepFile();
};

// SIGINT and SIGTERM only note the signal; the console views pass it to the engine as a request
// to stop, which ends the operation in the wait cycle it arrives in.
void InstallInterruptHandlers();
// The signal received, or 0.
int InterruptSignal();
// A descriptor that becomes readable once a signal was received (and stays so): the console
// views hand it to the engines, whose waits then end at once. -1 before the handlers are
// installed.
int InterruptWakeUpHandle();
// Raises EOperationCancelled once a signal was received.
void ThrowIfInterrupted();
// Waits until Fd can be read; a signal meanwhile raises EOperationCancelled. A plain read would
// be restarted after the signal and keep waiting for the Enter key.
void WaitForInput(int Fd);

} // namespace qubra
