#include "net/ARPHelperClient.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "net/ARPHelperProtocol.h"

namespace qubra {

namespace {

// The helper acts within milliseconds; this only ends the wait for one that hangs.
constexpr int kAnswerWaitMs = 10000;
constexpr std::size_t kAnswerLimit = 512;

thread_local std::string LastText;

std::string IPText(std::uint32_t IP)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &IP, text, sizeof text);
    return text;
}

std::string MACText(const std::uint8_t* MAC)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", MAC[0], MAC[1], MAC[2], MAC[3],
                  MAC[4], MAC[5]);
    return text;
}

std::string MissingRight(const std::string& Program, const std::string& Reason)
{
    return "Changing the ARP table needs the right CAP_NET_ADMIN, which only the helper " + Program +
           " holds, and " + Reason +
           ". Ask an administrator to add you to the group qubra232, then log in again.";
}

bool SendAll(int Fd, const std::string& Text)
{
    for (std::size_t sent = 0; sent < Text.size();) {
        const ssize_t n = send(Fd, Text.data() + sent, Text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string ARPHelperProgramPath(const void* Anchor)
{
    // Never from the environment with raised rights: secure_getenv is empty then.
    if (const char* path = secure_getenv("QUBRA_ARPHELPER"); path != nullptr && *path != '\0')
        return path;
    Dl_info info{};
    if (dladdr(Anchor, &info) == 0 || info.dli_fname == nullptr)
        return kARPHelperProgram;
    const std::string module = info.dli_fname;
    return module.substr(0, module.rfind('/') + 1) + kARPHelperProgram;
}

TARPHelperClient::TARPHelperClient(std::string Program) : Program(std::move(Program)) {}

TARPHelperClient::~TARPHelperClient()
{
    // The end of input is the helper's signal to take its entry out.
    for (THelper& helper : Holds)
        Finish(helper);
}

std::string TARPHelperClient::LastError()
{
    return LastText;
}

std::uint32_t TARPHelperClient::Start(const std::string& Request, THelper& Helper)
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return static_cast<std::uint32_t>(errno);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    // A process group of its own: a Ctrl-C meant for this program does not reach the helper,
    // which ends its hold when this program's end of the socket closes.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    std::string program = Program;
    char* arguments[] = {program.data(), nullptr};
    char* environment[] = {nullptr};
    const int error = posix_spawn(&Helper.Pid, Program.c_str(), &actions, &attributes, arguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[1]);
    if (error != 0) {
        close(ends[0]);
        Helper.Pid = -1;
        LastText = MissingRight(Program, error == ENOENT   ? "it is not there"
                                         : error == EACCES ? "this user may not run it"
                                                           : std::string("it cannot be started: ") +
                                                                 std::strerror(error));
        return static_cast<std::uint32_t>(error);
    }
    Helper.Fd = ends[0];
    if (!SendAll(Helper.Fd, Request))
        return EIO; // its answer, or its end, tells more
    return 0;
}

std::uint32_t TARPHelperClient::Await(THelper& Helper)
{
    std::string answer;
    char buffer[128];
    while (answer.find('\n') == std::string::npos && answer.size() < kAnswerLimit) {
        pollfd wait{Helper.Fd, POLLIN, 0};
        const int ready = poll(&wait, 1, kAnswerWaitMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return ETIMEDOUT;
        const ssize_t got = recv(Helper.Fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return EIO;
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    if (answer.rfind("ok\n", 0) == 0)
        return 0;
    int code = 0;
    if (std::sscanf(answer.c_str(), "error %d", &code) != 1 || code <= 0)
        return EIO;
    if (code == EPERM)
        LastText = MissingRight(Program, "it does not hold that right");
    return static_cast<std::uint32_t>(code);
}

void TARPHelperClient::Finish(THelper& Helper)
{
    if (Helper.Fd >= 0)
        close(Helper.Fd);
    Helper.Fd = -1;
    if (Helper.Pid > 0)
        while (waitpid(Helper.Pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    Helper.Pid = -1;
}

std::uint32_t TARPHelperClient::Hold(const MIB_IPNETROW& Row)
{
    LastText.clear();
    THelper helper;
    helper.Row = Row;
    std::uint32_t code = Start("hold " + std::to_string(Row.dwIndex) + " " + IPText(Row.dwAddr) + " " +
                                   MACText(Row.bPhysAddr) + " " + std::to_string(kARPHelperHoldLimitSeconds) + "\n",
                               helper);
    if (code == 0 || helper.Fd >= 0)
        code = Await(helper);
    if (code != 0) {
        Finish(helper);
        return code;
    }
    std::lock_guard guard(Lock);
    Holds.push_back(helper);
    return 0;
}

std::uint32_t TARPHelperClient::Delete(const MIB_IPNETROW& Row)
{
    LastText.clear();
    bool holderGone = false;
    {
        std::lock_guard guard(Lock);
        const auto held = std::find_if(Holds.begin(), Holds.end(), [&](const THelper& helper) {
            return helper.Row.dwIndex == Row.dwIndex && helper.Row.dwAddr == Row.dwAddr;
        });
        if (held != Holds.end()) {
            THelper helper = *held;
            Holds.erase(held);
            // Any input ends the hold; the answer comes once the entry is out.
            const std::uint32_t code = SendAll(helper.Fd, "release\n") ? Await(helper) : EIO;
            Finish(helper);
            if (code == 0)
                return 0;
            holderGone = true;
        }
    }
    THelper helper;
    std::uint32_t code = Start("delete " + std::to_string(Row.dwIndex) + " " + IPText(Row.dwAddr) + "\n", helper);
    if (code == 0 || helper.Fd >= 0)
        code = Await(helper);
    Finish(helper);
    // A holder that was killed left its entry to the next helper, which removed it on start.
    return holderGone && code == ENOENT ? 0 : code;
}

} // namespace qubra
