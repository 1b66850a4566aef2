// qubra-arpd: the service that alone holds the right to change the neighbour table. Started by
// systemd on the first connection to its socket (or by hand with --socket), it takes one request
// per connection from root and the members of its group, holds the temporary entry on its own
// clock while the connection stays open, and ends when idle. Nothing of a client's environment
// or files reaches it; a client can end its own hold early, never lengthen it.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include "arphelper/HelperRequest.h"
#include "arphelper/TemporaryEntry.h"
#include "net/ARPHelperProtocol.h"

using namespace qubra;
using namespace qubra::arphelper;
using namespace std::chrono_literals;

namespace {

// libnl reads NLDBG, NLCB and NLSYSCONFDIR in its start-up code, before main. This runs before
// any library's start-up code and starts the program again with nothing but systemd's two
// socket-passing variables when anything else is there.
void CleanEnvironment(int, char** Arguments, char** Environment)
{
    static char* kept[3];
    int keptCount = 0, count = 0;
    for (char** variable = Environment; variable != nullptr && *variable != nullptr; ++variable, ++count)
        if (std::strncmp(*variable, "LISTEN_FDS=", 11) == 0 || std::strncmp(*variable, "LISTEN_PID=", 11) == 0) {
            if (keptCount < 2 && std::strlen(*variable) < 32)
                kept[keptCount++] = *variable;
        }
    kept[keptCount] = nullptr;
    if (count == keptCount)
        return;
    execve("/proc/self/exe", Arguments, kept);
    _exit(127);
}
__attribute__((section(".preinit_array"), used)) void (*const kCleanEnvironment)(int, char**, char**) =
    CleanEnvironment;

constexpr int kIdleSeconds = 10;

void Say(const std::string& Text)
{
    std::fprintf(stderr, "%s: %s\n", kARPServiceProgram, Text.c_str());
}

bool HasNetAdmin()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    return syscall(SYS_capget, &header, data) == 0 &&
           (data[CAP_NET_ADMIN / 32].effective & (1u << (CAP_NET_ADMIN % 32))) != 0;
}

void Answer(int Fd, const TRefusal& Refusal)
{
    const std::string line = Refusal ? "error " + std::to_string(Refusal.Code) + " " + Refusal.Text + "\n" : "ok\n";
    send(Fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT); // a line fits any socket buffer
}

// Up to and including the first newline, within the request wait; anything else comes back
// without its newline and is refused by the parser.
std::string ReadRequestLine(int Fd)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kARPRequestWaitMs);
    while (line.size() <= static_cast<std::size_t>(kARPHelperLineLimit) &&
           (line.empty() || line.back() != '\n')) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait{Fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) == 0)
            break;
        char c;
        const ssize_t got = recv(Fd, &c, 1, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            break;
        line += c;
    }
    return line;
}

// Who may talk to the service, and how much each one holds.
class TService {
public:
    explicit TService(gid_t Group) : Group(Group) {}

    // Takes the accepted connection, or refuses it at once.
    void Take(int Fd)
    {
        ucred peer{};
        socklen_t length = sizeof peer;
        if (getsockopt(Fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || !Allowed(Fd, peer)) {
            Answer(Fd, {EPERM, "only root and the members of the group qubra232 may ask for entries"});
            close(Fd);
            return;
        }
        std::lock_guard guard(Lock);
        if (Total >= kARPTotalHoldLimit || PerUser[peer.uid] >= kARPUserHoldLimit) {
            Answer(Fd, {EAGAIN, Total >= kARPTotalHoldLimit
                                    ? "the service serves " + std::to_string(kARPTotalHoldLimit) +
                                          " requests, the most it takes at once; try again when one ends"
                                    : "user " + std::to_string(peer.uid) + " has " + std::to_string(kARPUserHoldLimit) +
                                          " requests open, the most one user may have; try again when one ends"});
            close(Fd);
            return;
        }
        ++Total;
        ++PerUser[peer.uid];
        Open.insert(Fd);
        std::thread([this, Fd, uid = peer.uid] { Serve(Fd, uid); }).detach();
    }

    // Every connection's read side closed: each hold ends and its entry goes.
    void Stop()
    {
        std::unique_lock guard(Lock);
        Stopping = true;
        for (const int fd : Open)
            shutdown(fd, SHUT_RD);
        Ended.wait(guard, [&] { return Total == 0; });
    }

    bool Idle()
    {
        std::lock_guard guard(Lock);
        return Total == 0;
    }

private:
    gid_t Group;
    std::mutex Lock;
    std::condition_variable Ended;
    int Total = 0;
    bool Stopping = false;
    std::map<uid_t, int> PerUser;
    std::set<int> Open;
    std::set<std::pair<int, std::uint32_t>> Held;

    bool Allowed(int Fd, const ucred& Peer) const
    {
        if (Peer.uid == 0 || Peer.gid == Group)
            return true;
        std::vector<gid_t> groups(NGROUPS_MAX);
        socklen_t length = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
        if (getsockopt(Fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &length) != 0)
            return false;
        for (std::size_t i = 0; i < length / sizeof(gid_t); ++i)
            if (groups[i] == Group)
                return true;
        return false;
    }

    void Serve(int Fd, uid_t Uid)
    {
        THelperRequest request;
        if (const TRefusal refusal = ParseRequest(ReadRequestLine(Fd), request))
            Answer(Fd, refusal);
        else if (rtnl::TRouteNetlink netlink; netlink.OpenError != 0)
            Answer(Fd, {netlink.OpenError, std::string("rtnetlink: ") + std::strerror(netlink.OpenError)});
        else if (request.Kind == THelperRequest::TKind::Delete)
            Answer(Fd, DeleteEntry(netlink, request));
        else
            Hold(Fd, netlink, request);
        std::lock_guard guard(Lock);
        close(Fd);
        Open.erase(Fd);
        --PerUser[Uid];
        --Total;
        Ended.notify_all();
    }

    void Hold(int Fd, rtnl::TRouteNetlink& Netlink, const THelperRequest& Request)
    {
        const std::pair<int, std::uint32_t> key{Request.IfIndex, Request.IP};
        {
            std::lock_guard guard(Lock);
            if (Stopping || !Held.insert(key).second) {
                Answer(Fd, {EBUSY, AddressText(Request.IP) + " is held by another request"});
                return;
            }
        }
        if (const TRefusal refusal = PlaceEntry(Netlink, Request))
            Answer(Fd, refusal);
        else {
            Answer(Fd, {});
            // Until any input or the connection's end, or this service's own clock.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Request.HoldSeconds);
            for (auto now = std::chrono::steady_clock::now(); now < deadline; now = std::chrono::steady_clock::now()) {
                pollfd wait{Fd, POLLIN, 0};
                const int ready =
                    poll(&wait, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count()));
                if (ready > 0 || (ready < 0 && errno != EINTR))
                    break;
            }
            RemoveEntry(Netlink, Request);
            Answer(Fd, {});
        }
        std::lock_guard guard(Lock);
        Held.erase(key);
    }
};

// The socket systemd passes (LISTEN_FDS), or one made at Path for Group.
int ListeningSocket(const char* Path, gid_t Group)
{
    if (Path == nullptr) {
        const char* fds = getenv("LISTEN_FDS");
        const char* pid = getenv("LISTEN_PID");
        if (fds == nullptr || pid == nullptr || std::string(fds) != "1" || std::atol(pid) != getpid())
            return -1;
        fcntl(3, F_SETFD, FD_CLOEXEC);
        return 3;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(Path) >= sizeof address.sun_path)
        return -1;
    std::strcpy(address.sun_path, Path);
    struct stat old;
    if (lstat(Path, &old) == 0 && S_ISSOCK(old.st_mode))
        unlink(Path);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const mode_t mask = umask(0177);
    const bool bound = fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    umask(mask);
    if (!bound || chown(Path, 0, Group) != 0 || chmod(Path, 0660) != 0 || listen(fd, 16) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char** argv)
{
    const char* path = nullptr;
    gid_t groupId = 0;
    if (const group* named = getgrnam("qubra232"))
        groupId = named->gr_gid;
    bool understood = argc % 2 == 1;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--socket") == 0)
            path = argv[i + 1];
        else if (std::strcmp(argv[i], "--group") == 0)
            groupId = static_cast<gid_t>(std::atol(argv[i + 1]));
        else
            understood = false;
    if (!understood) {
        Say("usage: qubra-arpd [--socket PATH] [--group GID]; without --socket it takes the socket from systemd");
        return 2;
    }
    if (!HasNetAdmin()) {
        Say("does not hold the right CAP_NET_ADMIN");
        return 1;
    }
    if (groupId == 0) {
        Say("there is no group qubra232 (--group names another)");
        return 1;
    }
    const int listening = ListeningSocket(path, groupId);
    if (listening < 0) {
        Say(path != nullptr ? std::string("cannot listen on ") + path : "no socket from systemd (LISTEN_FDS)");
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        sigaddset(&ending, signal);
    sigprocmask(SIG_BLOCK, &ending, nullptr);
    const int signals = signalfd(-1, &ending, SFD_CLOEXEC);

    if (rtnl::TRouteNetlink netlink; netlink.OpenError == 0)
        SweepLeftovers(netlink);
    TService service(groupId);
    for (int idle = 0; idle < kIdleSeconds;) {
        pollfd waits[2] = {{listening, POLLIN, 0}, {signals, POLLIN, 0}};
        if (poll(waits, 2, 1000) < 0 && errno != EINTR)
            break;
        if (waits[1].revents != 0)
            break;
        if (waits[0].revents & POLLIN) {
            if (const int fd = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC); fd >= 0)
                service.Take(fd);
        }
        idle = service.Idle() ? idle + (waits[0].revents == 0) : 0;
    }
    service.Stop();
    if (path != nullptr)
        unlink(path);
    return 0;
}
