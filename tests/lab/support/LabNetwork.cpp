#include "tests/lab/support/LabNetwork.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qubra::lab {

namespace {

constexpr const char* kNetnsDir = "/run/netns";

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool ProcessAlive(pid_t pid)
{
    return kill(pid, 0) == 0 || errno != ESRCH;
}

// Deletes namespaces "<prefix>-<pid>-<n>" left by runs whose process is gone.
void RemoveStaleNamespaces(const std::string& prefix)
{
    std::error_code error;
    const std::string lead = prefix + "-";
    for (const auto& entry : std::filesystem::directory_iterator(kNetnsDir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(lead, 0) != 0)
            continue;
        const std::string rest = name.substr(lead.size());
        const auto dash = rest.find('-');
        if (dash == std::string::npos || dash == 0)
            continue;
        if (rest.find_first_not_of("0123456789") != dash)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
        if (pid != getpid() && !ProcessAlive(pid))
            RunCommand("ip netns del " + Quote(name));
    }
}

// True once the process has ended; leaves it a zombie so its pid (and group id) stay taken.
bool Ended(pid_t pid)
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
           info.si_pid != 0;
}

} // namespace

bool IsRoot()
{
    return geteuid() == 0;
}

TCommandResult RunCommand(const std::string& Command)
{
    TCommandResult result;
    FILE* pipe = popen((Command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.Output.append(buffer, n);
    const int status = pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string RunCommandOrThrow(const std::string& Command)
{
    TCommandResult result = RunCommand(Command);
    if (!result.Ok())
        throw std::runtime_error("command failed (" + std::to_string(result.ExitCode) +
                                 "): " + Command + "\n" + result.Output);
    return result.Output;
}

TBackgroundProcess::TBackgroundProcess(const std::string& Namespace, const std::string& Command)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so that whatever the command starts ends with it.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::string args[] = {"ip", "netns", "exec", Namespace, "sh", "-c", Command};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                    args[4].data(), args[5].data(), args[6].data(), nullptr};
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, "ip", nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        throw std::runtime_error("cannot start: " + Command);
    ProcessId = pid;
}

TBackgroundProcess::~TBackgroundProcess()
{
    if (ProcessId <= 0 || Reaped)
        return;
    kill(-ProcessId, SIGTERM);
    for (int i = 0; i < 50 && !Ended(ProcessId); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // The unreaped leader keeps the group id from being reused, so this cannot hit a stranger.
    kill(-ProcessId, SIGKILL);
    waitpid(ProcessId, nullptr, 0);
}

bool TBackgroundProcess::Running()
{
    return ProcessId > 0 && !Ended(ProcessId);
}

TNetNamespace::TNetNamespace(const std::string& Prefix)
{
    static std::atomic<int> counter{0};
    RemoveStaleNamespaces(Prefix);
    NamespaceName = Prefix + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    RunCommandOrThrow("ip netns add " + Quote(NamespaceName));
    try {
        LinkUp("lo");
    } catch (...) {
        RunCommand("ip netns del " + Quote(NamespaceName));
        throw;
    }
}

TNetNamespace::~TNetNamespace()
{
    Processes.clear();
    RunCommand("ip netns del " + Quote(NamespaceName));
}

TCommandResult TNetNamespace::Exec(const std::string& Command) const
{
    return RunCommand("ip netns exec " + Quote(NamespaceName) + " sh -c " + Quote(Command));
}

std::string TNetNamespace::ExecOrThrow(const std::string& Command) const
{
    return RunCommandOrThrow("ip netns exec " + Quote(NamespaceName) + " sh -c " + Quote(Command));
}

void TNetNamespace::AddAddress(const std::string& Device, const std::string& Cidr) const
{
    RunCommandOrThrow("ip -n " + Quote(NamespaceName) + " addr add " + Quote(Cidr) + " dev " +
               Quote(Device));
    LinkUp(Device);
}

void TNetNamespace::LinkUp(const std::string& Device) const
{
    RunCommandOrThrow("ip -n " + Quote(NamespaceName) + " link set dev " + Quote(Device) + " up");
}

std::string TNetNamespace::MACOf(const std::string& Device) const
{
    const std::string text =
        RunCommandOrThrow("ip -n " + Quote(NamespaceName) + " -o link show dev " + Quote(Device));
    const auto at = text.find("link/ether ");
    if (at == std::string::npos)
        throw std::runtime_error("no MAC on " + Device + ": " + text);
    return text.substr(at + 11, 17);
}

TBackgroundProcess& TNetNamespace::StartBackground(const std::string& Command)
{
    Processes.push_back(std::make_unique<TBackgroundProcess>(NamespaceName, Command));
    return *Processes.back();
}

void ConnectVeth(const TNetNamespace& A, const std::string& DeviceA, const TNetNamespace& B,
                 const std::string& DeviceB)
{
    RunCommandOrThrow("ip -n " + Quote(A.Name()) + " link add " + Quote(DeviceA) +
               " type veth peer name " + Quote(DeviceB) + " netns " + Quote(B.Name()));
    A.LinkUp(DeviceA);
    B.LinkUp(DeviceB);
}

void AddBridge(const TNetNamespace& Ns, const std::string& Bridge)
{
    RunCommandOrThrow("ip -n " + Quote(Ns.Name()) + " link add " + Quote(Bridge) + " type bridge");
    Ns.LinkUp(Bridge);
}

void AttachToBridge(const TNetNamespace& Ns, const std::string& Device, const std::string& Bridge)
{
    RunCommandOrThrow("ip -n " + Quote(Ns.Name()) + " link set dev " + Quote(Device) + " master " +
               Quote(Bridge));
}

TLabLan::TLabLan(const std::string& Prefix)
    : Prefix(Prefix), SwitchNs(std::make_unique<TNetNamespace>(Prefix))
{
    AddBridge(*SwitchNs, "br0");
}

TNetNamespace& TLabLan::AddHost(const std::string& Cidr, const std::string& Device)
{
    auto host = std::make_unique<TNetNamespace>(Prefix);
    const std::string port = "p" + std::to_string(Hosts.size());
    ConnectVeth(*host, Device, *SwitchNs, port);
    AttachToBridge(*SwitchNs, port, "br0");
    host->AddAddress(Device, Cidr);
    Hosts.push_back(std::move(host));
    return *Hosts.back();
}

TEnterNamespace::TEnterNamespace(const TNetNamespace& Ns)
{
    HomeFd = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (HomeFd < 0)
        throw std::runtime_error("cannot open the thread's network namespace");
    const std::string path = std::string(kNetnsDir) + "/" + Ns.Name();
    const int target = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0)
        close(target);
    if (!entered) {
        close(HomeFd);
        throw std::runtime_error("cannot enter network namespace " + Ns.Name());
    }
}

TEnterNamespace::~TEnterNamespace()
{
    // A thread left behind in a test namespace would send the rest of the run's traffic there.
    if (setns(HomeFd, CLONE_NEWNET) != 0) {
        std::fputs("TEnterNamespace: cannot return to the home network namespace\n", stderr);
        std::abort();
    }
    close(HomeFd);
}

} // namespace qubra::lab
