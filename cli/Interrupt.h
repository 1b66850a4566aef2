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

} // namespace qubra
