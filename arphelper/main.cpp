// qubra-arphelper: the only program that holds the right to change the neighbour table. It
// reads one request from standard input and answers on standard output (net/ARPHelperProtocol.h).
// It uses no environment, runs nothing, and ends its hold as soon as its parent's end of
// standard input closes, whatever ended the parent.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "arphelper/HelperRequest.h"
#include "arphelper/TemporaryEntry.h"
#include "net/ARPHelperProtocol.h"

using namespace qubra;
using namespace qubra::arphelper;

namespace {

// Standard input, output and error open (to /dev/null when missing), nothing else inherited.
void TidyDescriptors()
{
    for (int fd = 0; fd < 3; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != fd)
            _exit(125);
    close_range(3, ~0U, 0);
}

bool HasNetAdmin()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    return syscall(SYS_capget, &header, data) == 0 &&
           (data[CAP_NET_ADMIN / 32].effective & (1u << (CAP_NET_ADMIN % 32))) != 0;
}

void Answer(const TRefusal& Refusal)
{
    std::string line = Refusal ? "error " + std::to_string(Refusal.Code) + " " + Refusal.Text + "\n" : "ok\n";
    for (std::string_view rest = line; !rest.empty();) {
        const ssize_t written = write(STDOUT_FILENO, rest.data(), rest.size());
        if (written <= 0 && errno != EINTR)
            return;
        if (written > 0)
            rest.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Up to and including the first newline, never more than the longest request; a longer or
// unfinished line comes back without its newline and is refused by the parser.
std::string ReadRequestLine()
{
    std::string line;
    char c;
    while (line.size() < static_cast<std::size_t>(kARPHelperLineLimit) + 1) {
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        line += c;
        if (c == '\n')
            break;
    }
    return line;
}

// Until any input or the end of input, a termination signal, or the hold time.
void WaitWhileHeld(int Signals, int Seconds)
{
    pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {Signals, POLLIN, 0}};
    const auto deadline = time(nullptr) + Seconds;
    for (time_t now = time(nullptr); now < deadline; now = time(nullptr)) {
        const int ready = poll(waits, 2, static_cast<int>(deadline - now) * 1000);
        if (ready != 0 && !(ready < 0 && errno == EINTR))
            return;
    }
}

} // namespace

int main(int argc, char**)
{
    // Nothing below may read what the caller put there.
    clearenv();
    TidyDescriptors();
    if (argc != 1) {
        Answer({EINVAL, "takes no arguments; the request comes on standard input"});
        return 2;
    }
    // Termination ends the hold through the clean-up below; a vanished reader is no reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        sigaddset(&ending, signal);
    sigprocmask(SIG_BLOCK, &ending, nullptr);
    const int signals = signalfd(-1, &ending, SFD_CLOEXEC);

    if (!HasNetAdmin()) {
        Answer({EPERM, std::string(kARPHelperProgram) + " does not hold the right CAP_NET_ADMIN"});
        return 1;
    }
    THelperRequest request;
    if (const TRefusal refusal = ParseRequest(ReadRequestLine(), request)) {
        Answer(refusal);
        return 1;
    }
    rtnl::TRouteNetlink netlink;
    if (netlink.OpenError != 0) {
        Answer({netlink.OpenError, std::string("rtnetlink: ") + std::strerror(netlink.OpenError)});
        return 1;
    }
    SweepLeftovers(netlink);

    if (request.Kind == THelperRequest::TKind::Delete) {
        const TRefusal refusal = DeleteEntry(netlink, request);
        Answer(refusal);
        return refusal ? 1 : 0;
    }
    TLiveName name;
    if (const TRefusal refusal = PlaceEntry(netlink, request, name)) {
        Answer(refusal);
        return 1;
    }
    Answer({});
    WaitWhileHeld(signals, request.HoldSeconds);
    RemoveEntry(netlink, request);
    Answer({});
    return 0;
}
