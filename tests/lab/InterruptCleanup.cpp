#include "tests/lab/InterruptCleanup.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include <sys/mount.h>
#include <unistd.h>

namespace qubra::lab {

namespace {

constexpr int kSlots = 32;
constexpr std::size_t kPathSize = 160;

// Filled before the flag is raised, so the handler only reads complete paths.
char Paths[kSlots][kPathSize];
std::atomic<bool> Used[kSlots];
std::mutex SlotLock;

// Only system calls here: the handler may interrupt anything.
void RemoveAndEnd(int Signal)
{
    for (int i = 0; i < kSlots; ++i)
        if (Used[i].load()) {
            umount2(Paths[i], MNT_DETACH);
            unlink(Paths[i]);
        }
    struct sigaction standard{};
    standard.sa_handler = SIG_DFL;
    sigaction(Signal, &standard, nullptr);
    raise(Signal);
}

void InstallHandlers()
{
    struct sigaction action{};
    action.sa_handler = RemoveAndEnd;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

} // namespace

TRemoveOnInterrupt::TRemoveOnInterrupt(const std::string& Namespace)
{
    static std::once_flag installed;
    std::call_once(installed, InstallHandlers);
    const std::string path = "/run/netns/" + Namespace;
    if (path.size() >= kPathSize)
        throw std::length_error("namespace name too long: " + Namespace);
    std::lock_guard guard(SlotLock);
    for (int i = 0; i < kSlots; ++i)
        if (!Used[i].load()) {
            std::memcpy(Paths[i], path.c_str(), path.size() + 1);
            Slot = i;
            Used[i].store(true);
            return;
        }
    throw std::length_error("too many namespaces to remove on interrupt");
}

TRemoveOnInterrupt::~TRemoveOnInterrupt()
{
    std::lock_guard guard(SlotLock);
    Used[Slot].store(false);
}

} // namespace qubra::lab
