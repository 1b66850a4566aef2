#include "cli/Interrupt.h"

#include <poll.h>

#include <atomic>
#include <csignal>

#include "conversation/DataSenderView.h"
#include "net/WakeUp.h"

namespace qubra {

namespace {

// Read by the engines of a scan on their own threads; lock-free, so a handler may write it.
std::atomic<int> ReceivedSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<const TWakeUp*> SignalWakeUp{nullptr};
static_assert(std::atomic<const TWakeUp*>::is_always_lock_free);

void NoteSignal(int Signal)
{
    ReceivedSignal = Signal;
    if (const TWakeUp* wake = SignalWakeUp.load())
        wake->Signal();
}

} // namespace

void InstallInterruptHandlers()
{
    static const TWakeUp wake;
    SignalWakeUp = &wake;
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int InterruptSignal()
{
    return ReceivedSignal;
}

int InterruptWakeUpHandle()
{
    const TWakeUp* wake = SignalWakeUp.load();
    return wake ? wake->Handle() : -1;
}

void ThrowIfInterrupted()
{
    if (InterruptSignal() != 0)
        throw EOperationCancelled{};
}

void WaitForInput(int Fd)
{
    pollfd input{Fd, POLLIN, 0};
    while (poll(&input, 1, 100) <= 0)
        ThrowIfInterrupted();
}

} // namespace qubra
