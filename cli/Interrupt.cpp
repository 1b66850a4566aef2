#include "cli/Interrupt.h"

#include <limits.h>
#include <poll.h>
#include <unistd.h>

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

// The sections of TImmediateStop now open, and the temporary file of the innermost; the handler
// reads both.
std::atomic<int> ImmediateStops{0};
static_assert(std::atomic<int>::is_always_lock_free);
char TemporaryPath[PATH_MAX];
std::atomic<bool> HasTemporaryPath{false};

constexpr char kInterruptedMessage[] = "qubra-cli: interrupted, stopped after cleaning up\n";

void NoteSignal(int Signal)
{
    ReceivedSignal = Signal;
    if (ImmediateStops.load() > 0) {
        if (HasTemporaryPath.load())
            unlink(TemporaryPath);
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kInterruptedMessage, sizeof kInterruptedMessage - 1);
        _exit(128 + Signal);
    }
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
    // One signal at a time: the second would otherwise end the program under the first's clean-up.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
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

TImmediateStop::TImmediateStop(const std::string& TemporaryFile)
{
    if (!TemporaryFile.empty() && TemporaryFile.size() < sizeof TemporaryPath) {
        TemporaryFile.copy(TemporaryPath, TemporaryFile.size());
        TemporaryPath[TemporaryFile.size()] = '\0';
        HasTemporaryPath = true;
    }
    ++ImmediateStops;
    // A signal that came before the section opened found no section to end.
    if (InterruptSignal() != 0) {
        --ImmediateStops;
        KeepFile();
        throw EOperationCancelled{};
    }
}

TImmediateStop::~TImmediateStop()
{
    --ImmediateStops;
    KeepFile();
}

void TImmediateStop::KeepFile()
{
    HasTemporaryPath = false;
}

void WaitForInput(int Fd)
{
    pollfd input{Fd, POLLIN, 0};
    while (poll(&input, 1, 100) <= 0)
        ThrowIfInterrupted();
}

} // namespace qubra
