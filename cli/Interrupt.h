#pragma once

namespace qubra {

// Raised at the next pump of the engine after SIGINT or SIGTERM. Deliberately not derived from
// std::exception: the engine's error handling lets it pass, only its scope guards run (they
// remove a temporary ARP entry, close the socket) on the way out.
struct EInterrupted {
    int Signal;
};

// SIGINT and SIGTERM only set a flag that ThrowIfInterrupted looks at.
void InstallInterruptHandlers();
void ThrowIfInterrupted();
// Waits until Fd can be read; a signal meanwhile raises EInterrupted. A plain read would be
// restarted after the signal and keep waiting for the Enter key.
void WaitForInput(int Fd);

} // namespace qubra
