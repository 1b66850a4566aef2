#include "tests/lab/support/LabNetwork.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qubra::lab;

namespace {

bool NamespaceExists(const std::string& name)
{
    return std::filesystem::exists("/run/netns/" + name);
}

ino_t ThreadNamespace()
{
    struct stat info{};
    stat("/proc/thread-self/ns/net", &info);
    return info.st_ino;
}

// An owned UDP socket bound to ip:port in the calling thread's namespace.
struct TUdp {
    int Fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ~TUdp() { close(Fd); }
    bool Bind(const char* ip, int port)
    {
        sockaddr_in address{AF_INET, htons(port), {inet_addr(ip)}, {}};
        return bind(Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    void SendTo(const char* ip, int port, const std::string& text)
    {
        sockaddr_in address{AF_INET, htons(port), {inet_addr(ip)}, {}};
        sendto(Fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&address),
               sizeof address);
    }
    std::string Receive(int timeoutMs)
    {
        pollfd wait{Fd, POLLIN, 0};
        if (poll(&wait, 1, timeoutMs) != 1)
            return "";
        char buffer[64];
        const ssize_t n = recv(Fd, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, n) : "";
    }
};

// Sends from `from` to ip:port, received in `to`; true when the text arrived.
bool Reaches(const TNetNamespace& from, const TNetNamespace& to, const char* ip)
{
    TEnterNamespace inTo(to);
    TUdp receiver;
    if (!receiver.Bind(ip, 40001))
        return false;
    std::thread([&] {
        TEnterNamespace inFrom(from);
        TUdp sender;
        sender.SendTo(ip, 40001, "hello");
    }).join();
    return receiver.Receive(2000) == "hello";
}

pid_t DeadPid()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

} // namespace

TEST(LabNetwork, NamespacesAreUniqueAndRemovedEvenWhenATestThrows)
{
    QUBRA_LAB_REQUIRE_ROOT();
    std::string first, second;
    {
        TNetNamespace a("qlabself"), b("qlabself");
        first = a.Name();
        second = b.Name();
        EXPECT_NE(first, second);
        EXPECT_TRUE(NamespaceExists(first));
        EXPECT_TRUE(a.Exec("ip link show lo | grep -q UP").Ok()) << "lo is up inside";
    }
    EXPECT_FALSE(NamespaceExists(first));
    EXPECT_FALSE(NamespaceExists(second));

    std::string thrown;
    EXPECT_THROW(
        {
            TNetNamespace c("qlabself");
            thrown = c.Name();
            c.ExecOrThrow("exit 3");
        },
        std::runtime_error);
    EXPECT_FALSE(NamespaceExists(thrown));
}

TEST(LabNetwork, StaleNamespacesOfDeadRunsAreRemovedLiveOnesKept)
{
    QUBRA_LAB_REQUIRE_ROOT();
    const std::string stale = "qlabstale-" + std::to_string(DeadPid()) + "-0";
    const std::string live = "qlabstale-1-0"; // pid 1 is always alive
    RunCommandOrThrow("ip netns add " + stale);
    RunCommandOrThrow("ip netns add " + live);
    {
        TNetNamespace fresh("qlabstale");
        EXPECT_FALSE(NamespaceExists(stale));
        EXPECT_TRUE(NamespaceExists(live));
    }
    RunCommand("ip netns del " + live);
    RunCommand("ip netns del " + stale);
}

TEST(LabNetwork, VethCarriesDatagramsAndEnteringMovesOnlyThisThread)
{
    QUBRA_LAB_REQUIRE_ROOT();
    const ino_t home = ThreadNamespace();
    TNetNamespace a, b;
    ConnectVeth(a, "veth0", b, "veth1");
    a.AddAddress("veth0", "10.77.0.1/24");
    b.AddAddress("veth1", "10.77.0.2/24");
    EXPECT_TRUE(Reaches(a, b, "10.77.0.2"));
    EXPECT_TRUE(Reaches(b, a, "10.77.0.1"));
    EXPECT_EQ(a.MACOf("veth0").size(), 17u);
    {
        TEnterNamespace inside(a);
        const ino_t there = ThreadNamespace();
        EXPECT_NE(there, home);
        ino_t child = 0;
        std::thread([&] { child = ThreadNamespace(); }).join();
        EXPECT_EQ(child, there) << "a thread started inside inherits the namespace";
    }
    EXPECT_EQ(ThreadNamespace(), home);
}

TEST(LabNetwork, BackgroundProcessesEndWithTheirNamespace)
{
    QUBRA_LAB_REQUIRE_ROOT();
    pid_t pid = 0;
    {
        TNetNamespace ns;
        TBackgroundProcess& sleeper = ns.StartBackground("sleep 60; sleep 60");
        pid = sleeper.Pid();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_TRUE(sleeper.Running());
    }
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(LabNetwork, HostsOnTheSwitchedLanReachEachOther)
{
    QUBRA_LAB_REQUIRE_ROOT();
    std::string switchName;
    {
        TLabLan lan;
        switchName = lan.Switch().Name();
        TNetNamespace& pc = lan.AddHost("10.78.0.1/24");
        TNetNamespace& device = lan.AddHost("10.78.0.2/24");
        EXPECT_TRUE(Reaches(pc, device, "10.78.0.2"));
        EXPECT_NE(pc.MACOf("eth0"), device.MACOf("eth0"));
    }
    EXPECT_FALSE(NamespaceExists(switchName));
}
