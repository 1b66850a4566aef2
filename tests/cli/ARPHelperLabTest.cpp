// The ARP helper on a lab LAN: the temporary entry never outlives the program that asked for it,
// a killed helper's entry goes with the next helper, only the helper's group may use it, and it
// refuses every address an assignment never needs.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <arpa/inet.h>
#include <net/if.h>

#include "net/ARPHelperClient.h"
#include "tests/cli/CliLabSupport.h"
#include "tests/cli/ProgramRun.h"
#include "tests/net/ARPTestSupport.h"
#include "tests/lab/support/LabNetwork.h"

using namespace qubra;
using namespace qubra::clitest;
using namespace qubra::lab;

namespace {

const char* const kDeviceMAC = "00-20-4a-63-00-0a";
// Ids that name no account: a technician outside and inside the helper's group.
const char* const kUser = "64233";
const char* const kGroup = "64232";

std::string PermanentEntries(const TNetNamespace& Ns)
{
    return Ns.ExecOrThrow("ip -4 neigh show nud permanent");
}

// The process whose parent is Parent and whose name is the helper's, or 0.
pid_t HelperOf(pid_t Parent)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos || text.find("(qubra-arphelper)") == std::string::npos)
            continue;
        char state;
        pid_t parent = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == Parent)
            return static_cast<pid_t>(std::stoi(entry.path().filename().string()));
    }
    return 0;
}

// A workstation (10.63.0.1/24 on eth0) cabled to a LAN with one simulated device at
// 192.168.1.254, which the workstation cannot reach without a temporary entry.
class ARPHelperLab : public TWorkstationLan {
protected:
    ARPHelperLab() : TWorkstationLan("qhlp") {}

    // The one simulated device with Knobs after its address.
    void StartDevice(const std::string& Knobs)
    {
        StartDevices(std::string("--device ") + kDeviceMAC + ",192.168.1.254" + Knobs);
    }

    // qubra-cli assign-ip in the workstation, started by Program (its words up to the program).
    std::vector<std::string> AssignIP(const std::string& IP, std::vector<std::string> Program = {QUBRA_CLI_PROGRAM})
    {
        std::vector<std::string> command{"ip", "netns", "exec", Workstation->Name()};
        command.insert(command.end(), Program.begin(), Program.end());
        command.insert(command.end(), {"assign-ip", "--mac", kDeviceMAC, "--ip", IP,
                                       "--mask", "255.255.255.0", "--broadcast", "10.63.0.255", "--timeout",
                                       "1000", "--yes"});
        return command;
    }

    // The helper run once in the workstation with Request; its answer.
    std::string RunHelper(const std::string& Request) const
    {
        return RunProgram({"ip", "netns", "exec", Workstation->Name(), QUBRA_ARPHELPER_PROGRAM}, Request).Out;
    }

    int Interface() const { return std::stoi(Workstation->ExecOrThrow("cat /sys/class/net/eth0/ifindex")); }
};

bool WaitForPermanentEntry(const TNetNamespace& Ns, const std::string& IP, TProgram& Program)
{
    for (int i = 0; i < 1000 && Program.Running(); ++i) {
        if (PermanentEntries(Ns).find(IP + " ") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

MIB_IPNETROW Row(int IfIndex, const char* IP)
{
    return test::StaticRow(static_cast<std::uint32_t>(IfIndex), IP, {0x02, 0x20, 0x4A, 0x63, 0x00, 0x0B});
}

// What the technician runs, copied to a throw-away folder that any user may enter (the
// checkout may lie in one that only its owner may enter, as home folders do): the command line
// with its language files, the address module where the installed program finds it, and the
// helper beside it, which only root and kGroup may run, with the helper's file capabilities
// when Capabilities is set. Removed with the object.
class TTechnicianCopy {
public:
    explicit TTechnicianCopy(bool Capabilities)
    {
        namespace fs = std::filesystem;
        char pattern[] = "/tmp/qubra-user-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            throw std::runtime_error("mkdtemp");
        Folder = pattern;
        const fs::path bin = Folder / "bin";
        const fs::path modules = (bin / QUBRA_MODULES_FROM_PROGRAM).lexically_normal();
        fs::create_directories(bin);
        fs::create_directories(modules);
        fs::permissions(Folder, kReachable);
        for (const auto& entry : fs::recursive_directory_iterator(Folder))
            fs::permissions(entry.path(), kReachable);
        const auto place = [](const fs::path& From, const fs::path& To, fs::perms Mode) {
            fs::copy_file(From, To);
            fs::permissions(To, Mode);
        };
        Program = bin / "qubra-cli";
        place(QUBRA_CLI_PROGRAM, Program, kReachable);
        for (const auto& entry : fs::directory_iterator(fs::path(QUBRA_CLI_PROGRAM).parent_path()))
            if (entry.path().filename().string().ends_with(".lng.xml"))
                place(entry.path(), bin / entry.path().filename(), kReadable);
        place(QUBRA_IPHELPER_MODULE, modules / fs::path(QUBRA_IPHELPER_MODULE).filename(), kReachable);
        Helper = modules / "qubra-arphelper";
        RunCommandOrThrow("cp " + std::string(QUBRA_ARPHELPER_PROGRAM) + " " + Helper.string() + " && chgrp " +
                          kGroup + " " + Helper.string() + " && chmod 0750 " + Helper.string());
        if (Capabilities) {
            RunCommandOrThrow("setcap cap_net_admin,cap_net_raw+ep " + Helper.string());
            CapabilitiesHeld = RunCommand("getcap " + Helper.string()).Output.find("cap_net_admin") != std::string::npos;
        }
    }
    ~TTechnicianCopy() { std::filesystem::remove_all(Folder); }

    // The command line started as the technician without root, in the copy's folder: outside
    // the helper's group, or in kGroup.
    std::vector<std::string> AsUser(bool InGroup) const
    {
        return {"setpriv", std::string("--reuid=") + kUser, std::string("--regid=") + kUser,
                InGroup ? std::string("--groups=") + kGroup : "--clear-groups",
                "env", "-C", Folder.string(), "QUBRA_ARPHELPER=" + Helper.string(), Program.string()};
    }

    std::filesystem::path Folder, Program, Helper;
    bool CapabilitiesHeld = false;

private:
    static constexpr auto kReadable = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                      std::filesystem::perms::group_read | std::filesystem::perms::others_read;
    static constexpr auto kReachable = kReadable | std::filesystem::perms::owner_exec |
                                       std::filesystem::perms::group_exec | std::filesystem::perms::others_exec;
};

} // namespace

TEST_F(ARPHelperLab, KilledProgramLeavesNoEntry)
{
    StartDevice(",silent"); // never answers: the assignment waits with the entry in place
    TProgram program(AssignIP("10.63.0.60"));
    ASSERT_TRUE(WaitForPermanentEntry(*Workstation, "10.63.0.60", program)) << program.Wait(1000).Err;
    program.Signal(SIGKILL);
    EXPECT_EQ(program.Wait(2000).ExitCode, 128 + SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(PermanentEntries(*Workstation), "");
}

TEST_F(ARPHelperLab, KilledHelpersEntryGoesWithTheNextHelperButALiveOnesStays)
{
    const int lan = Interface();
    {
        TEnterNamespace inside(*Workstation);
        TARPHelperClient killed(QUBRA_ARPHELPER_PROGRAM);
        TARPHelperClient alive(QUBRA_ARPHELPER_PROGRAM);
        ASSERT_EQ(killed.Hold(Row(lan, "10.63.0.70")), 0u) << TARPHelperClient::LastError();
        const pid_t first = HelperOf(getpid());
        ASSERT_NE(first, 0);
        ASSERT_EQ(alive.Hold(Row(lan, "10.63.0.71")), 0u);
        kill(first, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::string left = PermanentEntries(*Workstation);
        EXPECT_NE(left.find("10.63.0.70 "), std::string::npos) << "nobody took it out: " << left;
        EXPECT_NE(left.find("10.63.0.71 "), std::string::npos) << left;

        // Any next run, whatever it is asked, first clears the leftover.
        EXPECT_EQ(RunHelper("delete " + std::to_string(lan) + " 10.63.0.99\n").rfind("error 2 ", 0), 0u);
        const std::string after = PermanentEntries(*Workstation);
        EXPECT_EQ(after.find("10.63.0.70 "), std::string::npos) << after;
        EXPECT_NE(after.find("10.63.0.71 "), std::string::npos) << "its holder still lives: " << after;
        // Nor can another run take the live one, or place its own there.
        EXPECT_EQ(RunHelper("delete " + std::to_string(lan) + " 10.63.0.71\n").rfind("error 16 ", 0), 0u);
        EXPECT_EQ(RunHelper("hold " + std::to_string(lan) + " 10.63.0.71 02:00:00:00:00:01 5\n").rfind("error 16 ", 0), 0u);
        EXPECT_NE(PermanentEntries(*Workstation).find("10.63.0.71 dev eth0 lladdr 02:20:4a:63:00:0b"),
                  std::string::npos)
            << PermanentEntries(*Workstation);
    }
    EXPECT_EQ(PermanentEntries(*Workstation), "") << "the live one went with its client";
}

TEST_F(ARPHelperLab, TechnicianOutsideTheGroupIsToldWhichRightAndGroupAndNothingChanges)
{
    StartDevice(",restart=100");
    for (const bool capabilities : {true, false}) {
        const TTechnicianCopy copy(capabilities);
        if (capabilities && !copy.CapabilitiesHeld)
            GTEST_SKIP() << "file capabilities do not hold on " << copy.Folder;
        // Without the capabilities the group may run it, but it cannot act.
        const TProgramResult result = RunProgram(AssignIP("10.63.0.50", copy.AsUser(!capabilities)));
        SCOPED_TRACE(result.Err);
        EXPECT_NE(result.ExitCode, 0);
        EXPECT_NE(result.Err.find("CAP_NET_ADMIN"), std::string::npos);
        EXPECT_NE(result.Err.find("group qubra232"), std::string::npos);
        EXPECT_NE(result.Err.find(capabilities ? "this user may not run it" : "it does not hold that right"),
                  std::string::npos);
        EXPECT_EQ(PermanentEntries(*Workstation), "");
    }
}

TEST_F(ARPHelperLab, TechnicianInTheGroupAssignsAnAddressWithoutRootAndNoEntryStays)
{
    StartDevice(",restart=100");
    const TTechnicianCopy copy(true);
    if (!copy.CapabilitiesHeld)
        GTEST_SKIP() << "file capabilities do not hold on " << copy.Folder;
    const TProgramResult result = RunProgram(AssignIP("10.63.0.50", copy.AsUser(true)));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, std::string(kDeviceMAC) + " 10.63.0.50\n");
    EXPECT_EQ(PermanentEntries(*Workstation), "");
}

TEST_F(ARPHelperLab, HelperRefusesEveryAddressThatIsNoOtherStationAndChangesNothing)
{
    Workstation->ExecOrThrow("ip neigh add 10.63.0.77 lladdr 02:00:00:00:00:77 dev eth0 nud permanent");
    const std::string before = PermanentEntries(*Workstation);
    const std::string lan = std::to_string(Interface());
    const std::string station = " 02:20:4a:63:00:0b 30\n";
    const std::pair<std::string, std::string> refused[] = {
        {"hold " + lan + " 10.63.0.1" + station, "error 98 10.63.0.1 is an address of this host"},
        {"hold " + lan + " 127.0.0.1" + station, "error 98 127.0.0.1 is an address of this host"},
        {"hold " + lan + " 10.63.0.0" + station, "error 22 10.63.0.0 is the network address"},
        {"hold " + lan + " 10.63.0.255" + station, "error 22 10.63.0.255 is the broadcast address"},
        {"hold " + lan + " 0.0.0.0" + station, "error 22 0.0.0.0 is no station's address"},
        {"hold " + lan + " 255.255.255.255" + station, "error 22 255.255.255.255 is no station's address"},
        {"hold " + lan + " 224.0.0.1" + station, "error 22 224.0.0.1 is no station's address"},
        {"hold " + lan + " 10.63.0.77" + station, "error 17 10.63.0.77 has a permanent entry that this helper did not make"},
        {"hold " + lan + " 10.63.0.50 00:00:00:00:00:00 30\n", "error 22 the MAC address 00:00:00:00:00:00 belongs to no station"},
        {"hold " + lan + " 10.63.0.50 ff:ff:ff:ff:ff:ff 30\n", "error 22 the MAC address ff:ff:ff:ff:ff:ff is a group address"},
        {"hold " + lan + " 10.63.0.50 01:00:5e:00:00:01 30\n", "error 22 the MAC address 01:00:5e:00:00:01 is a group address"},
        {"hold " + lan + " 10.63.0.50 02:20:4a:63:00:0b 31\n", "error 22 a hold of 31 s is beyond the limit of 30 s"},
        {"hold 1 10.63.0.50" + station, "error 95 interface 1 does not use ARP"},
        {"delete " + lan + " 10.63.0.77\n", "error 13 10.63.0.77 has a permanent entry that this helper did not make"},
        {"hold " + lan + " 10.63.0.50 02:20:4a:63:00:0b 30", "error 22 malformed request"},
    };
    for (const auto& [request, answer] : refused) {
        const std::string got = RunHelper(request);
        EXPECT_EQ(got.rfind(answer, 0), 0u) << request << "answered: " << got;
        EXPECT_EQ(got.find('\n'), got.size() - 1) << "one line: " << got;
    }
    EXPECT_EQ(PermanentEntries(*Workstation), before);
}
