#pragma once

namespace qubra {

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
