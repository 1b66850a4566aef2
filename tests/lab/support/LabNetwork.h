#pragma once

// Small throw-away networks for tests that need real sockets, ARP and neighbour tables.
// Everything lives in network namespaces that the test creates; the root namespace's
// interfaces are never touched. Needs root (CAP_SYS_ADMIN and CAP_NET_ADMIN).
//
//     TEST(Lab, Something) {
//         QUBRA_LAB_REQUIRE_ROOT();
//         qubra::lab::TNetNamespace a, b;                 // two fresh namespaces
//         qubra::lab::ConnectVeth(a, "veth0", b, "veth0"); // a cable between them
//         a.AddAddress("veth0", "10.9.0.1/24");            // also brings the link up
//         b.AddAddress("veth0", "10.9.0.2/24");
//         b.StartBackground("some-daemon --port 30718");   // killed with b
//         qubra::lab::TEnterNamespace inside(a);           // this thread now runs in a
//         ...sockets opened here belong to a...
//     }                                                    // back home, all removed
//
// Or a switched LAN: TLabLan lan; auto& pc = lan.AddHost("10.9.0.1/24"); ...
//
// Namespaces are named <prefix>-<pid>-<n>. Destructors remove what was made, also when a test
// fails or throws; a run that was killed leaves names whose pid is dead, and the next
// TNetNamespace of the same prefix deletes those.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qubra::lab {

bool IsRoot();

// At the top of a lab test: skips it with a clear message when not run as root.
#define QUBRA_LAB_REQUIRE_ROOT()                                                              \
    do {                                                                                      \
        if (!::qubra::lab::IsRoot())                                                          \
            GTEST_SKIP() << "lab test: needs root to create network namespaces";              \
    } while (0)

struct TCommandResult {
    int ExitCode = -1;
    std::string Output; // standard output and standard error together
    bool Ok() const { return ExitCode == 0; }
};

// Runs a shell command in the current namespace; the result carries its exit code and output.
TCommandResult RunCommand(const std::string& Command);
// Same, but raises std::runtime_error (with the output) when the command fails.
std::string RunCommandOrThrow(const std::string& Command);

// A process started in a namespace; the whole process group is ended on destruction
// (SIGTERM, then SIGKILL after half a second).
class TBackgroundProcess {
public:
    TBackgroundProcess(const std::string& Namespace, const std::string& Command);
    ~TBackgroundProcess();
    TBackgroundProcess(const TBackgroundProcess&) = delete;
    TBackgroundProcess& operator=(const TBackgroundProcess&) = delete;
    int Pid() const { return ProcessId; }
    // True while the process has not ended.
    bool Running();

private:
    int ProcessId = -1;
    bool Reaped = false;
};

class TNetNamespace {
public:
    explicit TNetNamespace(const std::string& Prefix = "qlab");
    ~TNetNamespace();
    TNetNamespace(const TNetNamespace&) = delete;
    TNetNamespace& operator=(const TNetNamespace&) = delete;

    const std::string& Name() const { return NamespaceName; }
    // "ip netns exec <name> sh -c <command>"
    TCommandResult Exec(const std::string& Command) const;
    std::string ExecOrThrow(const std::string& Command) const;
    // Adds an address in CIDR form ("10.9.0.1/24") and brings the link up.
    void AddAddress(const std::string& Device, const std::string& Cidr) const;
    void LinkUp(const std::string& Device) const;
    // The link's MAC as "aa:bb:cc:dd:ee:ff".
    std::string MACOf(const std::string& Device) const;
    // Starts a command in this namespace; it is killed before the namespace is removed.
    TBackgroundProcess& StartBackground(const std::string& Command);

private:
    std::string NamespaceName;
    std::vector<std::unique_ptr<TBackgroundProcess>> Processes;
};

// A veth cable from A's DeviceA to B's DeviceB, created directly inside the two namespaces
// (links up, no addresses). It goes away with either namespace.
void ConnectVeth(const TNetNamespace& A, const std::string& DeviceA, const TNetNamespace& B,
                 const std::string& DeviceB);
// A bridge named Bridge inside Ns, up.
void AddBridge(const TNetNamespace& Ns, const std::string& Bridge);
// Makes Ns's Device a port of Bridge (both in Ns).
void AttachToBridge(const TNetNamespace& Ns, const std::string& Device, const std::string& Bridge);

// A switched LAN: one namespace holding a bridge "br0", and hosts each cabled to it.
class TLabLan {
public:
    explicit TLabLan(const std::string& Prefix = "qlab");
    // A new namespace whose Device ("eth0") is cabled to the bridge and has Cidr.
    TNetNamespace& AddHost(const std::string& Cidr, const std::string& Device = "eth0");
    TNetNamespace& Switch() { return *SwitchNs; }

private:
    std::string Prefix;
    // Hosts are declared after the switch so they go first.
    std::unique_ptr<TNetNamespace> SwitchNs;
    std::vector<std::unique_ptr<TNetNamespace>> Hosts;
};

// Moves the calling thread into a namespace (setns) and back on destruction. Only this
// thread moves; threads it creates while inside start in the namespace and stay there.
// Sockets keep the namespace they were created in.
class TEnterNamespace {
public:
    explicit TEnterNamespace(const TNetNamespace& Ns);
    ~TEnterNamespace();
    TEnterNamespace(const TEnterNamespace&) = delete;
    TEnterNamespace& operator=(const TEnterNamespace&) = delete;

private:
    int HomeFd = -1;
};

} // namespace qubra::lab
