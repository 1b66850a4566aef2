#include "cli/Interrupt.h"

#include <poll.h>

#include <csignal>

namespace qubra {

namespace {

volatile std::sig_atomic_t ReceivedSignal = 0;

void NoteSignal(int Signal)
{
    ReceivedSignal = Signal;
}

} // namespace

void InstallInterruptHandlers()
{
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void ThrowIfInterrupted()
{
    if (const int signal = ReceivedSignal; signal != 0)
        throw EInterrupted{signal};
}

void WaitForInput(int Fd)
{
    pollfd input{Fd, POLLIN, 0};
    while (poll(&input, 1, 100) <= 0)
        ThrowIfInterrupted();
}

} // namespace qubra
