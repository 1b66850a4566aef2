#include "net/ARPHelperClient.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include "arphelper/TemporaryEntry.h"
#include "net/ARPHelperProtocol.h"

namespace qubra {

namespace {

// The service acts within milliseconds; this only ends the wait for one that hangs.
constexpr int kAnswerWaitMs = 10000;
constexpr std::size_t kAnswerLimit = 512;
// A user at the limit waits for one of their holds to end: none lasts longer than the limit.
constexpr auto kFreeHoldWait = std::chrono::seconds(kARPHelperHoldLimitSeconds + 2);
constexpr auto kFreeHoldRetry = std::chrono::milliseconds(250);

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

std::uint32_t MissingRight(std::uint32_t Code, const std::string& Reason)
{
    LastText = std::string("Changing the ARP table needs the right CAP_NET_ADMIN, which only the service ") +
               kARPServiceProgram + " holds, and " + Reason +
               ". Ask an administrator to add you to the group qubra232, then log in again.";
    return Code;
}

bool HasNetAdmin()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    return syscall(SYS_capget, &header, data) == 0 &&
           (data[CAP_NET_ADMIN / 32].effective & (1u << (CAP_NET_ADMIN % 32))) != 0;
}

// A refusal's own text, unless it only names what the system's text for Code says.
std::uint32_t Refused(std::uint32_t Code, const std::string& Text)
{
    const std::string system = std::string(": ") + std::strerror(static_cast<int>(Code));
    const bool systemOnly = Text.size() >= system.size() && Text.compare(Text.size() - system.size(), system.size(), system) == 0;
    LastText = systemOnly ? "" : Text;
    return Code;
}

// Reads one answer line; 0, its error code with its text in LastText, or EIO/ETIMEDOUT.
std::uint32_t Await(int Fd)
{
    std::string answer;
    char buffer[128];
    while (answer.find('\n') == std::string::npos && answer.size() < kAnswerLimit) {
        pollfd wait{Fd, POLLIN, 0};
        const int ready = poll(&wait, 1, kAnswerWaitMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return ETIMEDOUT;
        const ssize_t got = recv(Fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return EIO;
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    if (answer.rfind("ok\n", 0) == 0)
        return 0;
    int code = 0, length = 0;
    if (std::sscanf(answer.c_str(), "error %d %n", &code, &length) != 1 || code <= 0 || length == 0)
        return EIO;
    if (code == EPERM)
        return MissingRight(EPERM, "this user may not use it");
    return Refused(static_cast<std::uint32_t>(code),
                   answer.substr(static_cast<std::size_t>(length), answer.find('\n') - static_cast<std::size_t>(length)));
}

} // namespace

std::string ARPServiceSocketPath()
{
    // Never from the environment with raised rights: secure_getenv is empty then.
    if (const char* path = secure_getenv("QUBRA_ARPD_SOCKET"); path != nullptr && *path != '\0')
        return path;
    return kARPServiceSocket;
}

TARPHelperClient::TARPHelperClient(std::string SocketPath) : SocketPath(std::move(SocketPath)) {}

TARPHelperClient::~TARPHelperClient()
{
    for (THold& hold : Holds)
        Release(hold);
}

std::string TARPHelperClient::LastError()
{
    return LastText;
}

void TARPHelperClient::ClearLastError()
{
    LastText.clear();
}

std::uint32_t TARPHelperClient::Ask(const std::string& Request, int& Fd)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (SocketPath.size() >= sizeof address.sun_path)
        return MissingRight(ENAMETOOLONG, "its socket " + SocketPath + " cannot be named");
    std::memcpy(address.sun_path, SocketPath.data(), SocketPath.size());
    for (const auto deadline = std::chrono::steady_clock::now() + kFreeHoldWait;;) {
        Fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (Fd < 0)
            return static_cast<std::uint32_t>(errno);
        std::uint32_t code = 0;
        if (connect(Fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            code = static_cast<std::uint32_t>(errno);
            if ((code == ENOENT || code == ECONNREFUSED) && HasNetAdmin()) {
                close(Fd);
                Fd = -1;
                return Direct(Request);
            }
            if (code == ENOENT || code == ECONNREFUSED)
                code = MissingRight(code, "its socket " + SocketPath + " is not there");
            else if (code == EACCES)
                code = MissingRight(code, "this user may not use its socket " + SocketPath);
        } else {
            // A refusal at once may close the service's end before the request is out: its
            // answer is still there to read.
            send(Fd, Request.data(), Request.size(), MSG_NOSIGNAL);
            code = Await(Fd);
        }
        if (code == 0)
            return 0;
        close(Fd);
        Fd = -1;
        if (code != EAGAIN || std::chrono::steady_clock::now() >= deadline)
            return code;
        std::this_thread::sleep_for(kFreeHoldRetry);
    }
}

std::uint32_t TARPHelperClient::Direct(const std::string& Request)
{
    arphelper::THelperRequest request;
    arphelper::TRefusal refusal = arphelper::ParseRequest(Request, request);
    if (!refusal) {
        rtnl::TRouteNetlink netlink;
        if (netlink.OpenError != 0)
            return static_cast<std::uint32_t>(netlink.OpenError);
        arphelper::SweepLeftovers(netlink);
        refusal = request.Kind == arphelper::THelperRequest::TKind::Hold ? arphelper::PlaceEntry(netlink, request)
                                                                          : arphelper::DeleteEntry(netlink, request);
    }
    return Refused(static_cast<std::uint32_t>(refusal.Code), refusal.Text);
}

void TARPHelperClient::Release(THold& Hold)
{
    if (Hold.Fd >= 0) {
        // Any input ends the hold; the answer comes once the entry is out.
        send(Hold.Fd, "release\n", 8, MSG_NOSIGNAL);
        Await(Hold.Fd);
        close(Hold.Fd);
    } else if (arphelper::THelperRequest request; !arphelper::ParseRequest(Hold.Request, request)) {
        rtnl::TRouteNetlink netlink;
        arphelper::RemoveEntry(netlink, request);
    }
    Hold.Fd = -1;
}

std::uint32_t TARPHelperClient::Hold(const MIB_IPNETROW& Row)
{
    LastText.clear();
    THold hold;
    hold.Row = Row;
    hold.Request = "hold " + std::to_string(Row.dwIndex) + " " + IPText(Row.dwAddr) + " " + MACText(Row.bPhysAddr) +
                   " " + std::to_string(kARPHelperHoldLimitSeconds) + "\n";
    if (const std::uint32_t code = Ask(hold.Request, hold.Fd); code != 0)
        return code;
    std::lock_guard guard(Lock);
    Holds.push_back(hold);
    return 0;
}

std::uint32_t TARPHelperClient::Delete(const MIB_IPNETROW& Row)
{
    LastText.clear();
    {
        std::lock_guard guard(Lock);
        const auto held = std::find_if(Holds.begin(), Holds.end(), [&](const THold& hold) {
            return hold.Row.dwIndex == Row.dwIndex && hold.Row.dwAddr == Row.dwAddr;
        });
        if (held != Holds.end()) {
            THold hold = *held;
            Holds.erase(held);
            Release(hold);
            return 0;
        }
    }
    int fd = -1;
    const std::uint32_t code = Ask("delete " + std::to_string(Row.dwIndex) + " " + IPText(Row.dwAddr) + "\n", fd);
    if (fd >= 0)
        close(fd);
    return code;
}

} // namespace qubra
