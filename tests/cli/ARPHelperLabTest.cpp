// The ARP service on a lab LAN, started by the test as systemd would start it and asked by
// unprivileged members of its group: no entry outlives its hold whatever the member does to
// the processes they own, one member never blocks another, every address of another station
// is refused, the bounds are reached and reported, and the tool run as root without the service
// places the entry itself under the same checks.
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "net/ARPHelperClient.h"
#include "net/ARPHelperProtocol.h"
#include "tests/cli/CliLabSupport.h"
#include "tests/cli/ProgramRun.h"
#include "tests/net/ARPTestSupport.h"
#include "tests/lab/support/LabNetwork.h"

using namespace qubra;
using namespace qubra::clitest;
using namespace qubra::lab;
using namespace std::chrono_literals;

namespace {

const char* const kDeviceMAC = "00-20-4a-63-00-0a";
const char* const kStation = " 02:20:4a:63:00:0b";
// Ids that name no account: two technicians, and the service's group.
constexpr uid_t kMember = 64233, kOtherMember = 64234;
constexpr gid_t kGroup = 64232;

// One connection to the service made by a process of its own that runs as User (in the
// service's group unless Outsider); it holds the connection open until it is signalled or goes.
class TMemberRequest {
public:
    TMemberRequest(const std::string& Socket, const std::string& Request, uid_t User, bool Outsider = false)
    {
        int answer[2];
        if (pipe(answer) != 0)
            throw std::runtime_error("pipe");
        Pid = fork();
        if (Pid == 0) {
            const gid_t groups[] = {kGroup};
            if (setgroups(Outsider ? 0 : 1, groups) != 0 || setgid(User) != 0 || setuid(User) != 0)
                _exit(1);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strcpy(address.sun_path, Socket.c_str());
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            char line[256];
            ssize_t got = 0;
            if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                got = snprintf(line, sizeof line, "connect: %s\n", strerror(errno));
            else {
                send(fd, Request.data(), Request.size(), MSG_NOSIGNAL); // a refusal may come first
                got = recv(fd, line, sizeof line, 0);
            }
            if (got > 0 && write(answer[1], line, static_cast<std::size_t>(got)) < 0)
                _exit(1);
            close(answer[1]);
            for (;;)
                pause();
        }
        close(answer[1]);
        char buffer[256];
        for (ssize_t got; (got = read(answer[0], buffer, sizeof buffer)) > 0 && Answer.find('\n') == std::string::npos;)
            Answer.append(buffer, static_cast<std::size_t>(got));
        close(answer[0]);
    }
    ~TMemberRequest()
    {
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
    }
    void Signal(int Number) const { kill(Pid, Number); }

    pid_t Pid = -1;
    std::string Answer;
};

// A workstation (10.63.0.1/24 on eth0) cabled to a LAN with one simulated device at
// 192.168.1.254, and the service listening in the workstation on a socket of the test.
class ARPHelperLab : public TWorkstationLan {
protected:
    ARPHelperLab() : TWorkstationLan("qhlp") {}

    std::string Folder, Socket, Program;
    std::unique_ptr<TProgram> Service;

    void SetUp() override
    {
        TWorkstationLan::SetUp();
        if (IsSkipped())
            return;
        char pattern[] = "/tmp/qubra-arpd-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Folder = pattern;
        chmod(Folder.c_str(), 0755);
        Socket = Folder + "/arpd.socket";
        CopyTheCommandLine();
    }
    void TearDown() override
    {
        Service.reset();
        if (!Folder.empty())
            std::filesystem::remove_all(Folder);
        TWorkstationLan::TearDown();
    }

    // The service with variables that libnl would read at start-up, as a user could leave them.
    void StartService()
    {
        std::ofstream(Folder + "/classid") << "not a classid file\n";
        Service = std::make_unique<TProgram>(std::vector<std::string>{
            "ip", "netns", "exec", Workstation->Name(), "env", "NLDBG=4", "NLCB=debug", "NLSYSCONFDIR=" + Folder,
            QUBRA_ARPD_PROGRAM, "--socket", Socket, "--group", std::to_string(kGroup)});
        for (int i = 0; i < 300 && !std::filesystem::exists(Socket); ++i)
            std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(std::filesystem::exists(Socket)) << Service->Wait(1000).Err;
    }

    // The command line with its language files and the address module where the installed
    // program finds it, in the folder any user may enter: the checkout may lie in one that only
    // its owner may enter, as home folders do.
    void CopyTheCommandLine()
    {
        namespace fs = std::filesystem;
        const fs::path bin = fs::path(Folder) / "bin";
        const fs::path modules = (bin / QUBRA_MODULES_FROM_PROGRAM).lexically_normal();
        fs::create_directories(bin);
        fs::create_directories(modules);
        for (const fs::path& folder : {bin, modules})
            fs::permissions(folder, fs::perms(0755));
        Program = (bin / "qubra-cli").string();
        fs::copy_file(QUBRA_CLI_PROGRAM, Program);
        for (const auto& entry : fs::directory_iterator(fs::path(QUBRA_CLI_PROGRAM).parent_path()))
            if (entry.path().filename().string().ends_with(".lng.xml"))
                fs::copy_file(entry.path(), bin / entry.path().filename());
        fs::copy_file(QUBRA_IPHELPER_MODULE, modules / fs::path(QUBRA_IPHELPER_MODULE).filename());
    }

    std::string Permanent() const { return Workstation->ExecOrThrow("ip -4 neigh show nud permanent"); }
    std::string Lan0() const { return Workstation->ExecOrThrow("cat /sys/class/net/eth0/ifindex").substr(0, 1); }
    std::string Hold(const std::string& IP, int Seconds = 30) const
    {
        return "hold " + Lan0() + " " + IP + kStation + " " + std::to_string(Seconds) + "\n";
    }

    // qubra-cli assign-ip in the workstation; Prefix goes between the namespace and the program.
    std::vector<std::string> AssignIP(const std::string& IP, std::vector<std::string> Prefix = {})
    {
        std::vector<std::string> command{"ip", "netns", "exec", Workstation->Name()};
        command.insert(command.end(), Prefix.begin(), Prefix.end());
        command.insert(command.end(), {"env", "-C", Folder, "QUBRA_ARPD_SOCKET=" + Socket, Program, "assign-ip", "--mac",
                                       kDeviceMAC, "--ip", IP, "--mask", "255.255.255.0", "--broadcast",
                                       "10.63.0.255", "--timeout", "1000", "--yes"});
        return command;
    }
    static std::vector<std::string> AsUser(bool InGroup)
    {
        return {"setpriv", "--reuid=" + std::to_string(kMember), "--regid=" + std::to_string(kMember),
                InGroup ? "--groups=" + std::to_string(kGroup) : "--clear-groups"};
    }
};

bool WaitFor(const std::function<bool()>& Condition, std::chrono::milliseconds Limit)
{
    for (const auto end = std::chrono::steady_clock::now() + Limit; std::chrono::steady_clock::now() < end;) {
        if (Condition())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return Condition();
}

} // namespace

TEST_F(ARPHelperLab, KilledProgramLeavesNoEntry)
{
    StartService();
    StartDevices(std::string("--device ") + kDeviceMAC + ",192.168.1.254,silent"); // the assignment waits
    TProgram program(AssignIP("10.63.0.60"));
    ASSERT_TRUE(WaitFor([&] { return Permanent().find("10.63.0.60 ") != std::string::npos; }, 10s))
        << program.Wait(1000).Err;
    program.Signal(SIGKILL);
    EXPECT_EQ(program.Wait(2000).ExitCode, 128 + SIGKILL);
    EXPECT_TRUE(WaitFor([&] { return Permanent().empty(); }, 500ms)) << Permanent();
}

TEST_F(ARPHelperLab, ToolRunAsRootWithoutTheServicePlacesTheEntryItselfUnderTheSameChecks)
{
    Workstation->ExecOrThrow("ip route add 10.99.0.0/24 via 10.63.0.254");
    const std::uint32_t lan = static_cast<std::uint32_t>(std::stoi(Lan0()));
    {
        TEnterNamespace inside(*Workstation);
        TARPHelperClient client(Folder + "/none.socket");
        EXPECT_EQ(client.Hold(test::StaticRow(lan, "10.63.0.254", {2, 0x20, 0x4A, 0x63, 0, 0x0B})),
                  static_cast<std::uint32_t>(EADDRINUSE));
        EXPECT_EQ(TARPHelperClient::LastError(), "10.63.0.254 is the gateway of a route; its address is not the tool's to take");
        ASSERT_EQ(client.Hold(test::StaticRow(lan, "10.63.0.70", {2, 0x20, 0x4A, 0x63, 0, 0x0B})), 0u)
            << TARPHelperClient::LastError();
        EXPECT_NE(Permanent().find("10.63.0.70 dev eth0 lladdr 02:20:4a:63:00:0b"), std::string::npos) << Permanent();
    }
    EXPECT_EQ(Permanent(), "") << "the entry went with its client";
}

TEST_F(ARPHelperLab, TechnicianOutsideTheGroupIsToldWhichRightAndGroupAndNothingChanges)
{
    StartDevices(std::string("--device ") + kDeviceMAC + ",192.168.1.254,restart=100");
    // Without the service the member is told it is not there; with it the outsider may not use it.
    for (const bool running : {false, true}) {
        if (running)
            StartService();
        const TProgramResult result = RunProgram(AssignIP("10.63.0.50", AsUser(!running)));
        SCOPED_TRACE(result.Err);
        EXPECT_NE(result.ExitCode, 0);
        EXPECT_NE(result.Err.find("CAP_NET_ADMIN"), std::string::npos);
        EXPECT_NE(result.Err.find("group qubra232"), std::string::npos);
        EXPECT_NE(result.Err.find(running ? "this user may not use its socket " + Socket
                                          : "its socket " + Socket + " is not there"),
                  std::string::npos);
        EXPECT_EQ(Permanent(), "");
    }
}

TEST_F(ARPHelperLab, TechnicianInTheGroupAssignsAnAddressWithoutRootAndNoEntryStays)
{
    StartService();
    StartDevices(std::string("--device ") + kDeviceMAC + ",192.168.1.254,restart=100");
    const TProgramResult result = RunProgram(AssignIP("10.63.0.50", AsUser(true)));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, std::string(kDeviceMAC) + " 10.63.0.50\n");
    EXPECT_EQ(Permanent(), "");
}

TEST_F(ARPHelperLab, ServiceRefusesEveryAddressThatIsNoOtherStationAndChangesNothing)
{
    Workstation->ExecOrThrow("ip route add 10.99.0.0/24 via 10.63.0.254;"
                             "ip neigh add 10.63.0.77 lladdr 02:00:00:00:00:77 dev eth0 nud permanent;"
                             "ip neigh add 10.63.0.78 lladdr 02:00:00:00:00:78 dev eth0 nud noarp;"
                             "ip neigh add 10.63.0.79 lladdr 02:00:00:00:00:79 dev eth0 nud reachable;"
                             "ip neigh add 10.63.0.80 lladdr 02:00:00:00:00:80 dev eth0 nud stale");
    // A station the workstation has not met yet answers the service's probe.
    Lan->AddAddress("eth0", "10.63.0.90/24");
    const std::string station = Lan->ExecOrThrow("cat /sys/class/net/eth0/address");
    StartService();
    const std::string before = Workstation->ExecOrThrow("ip -4 neigh show");
    const std::string lan = Lan0();
    const std::pair<std::string, std::string> refused[] = {
        {Hold("10.63.0.254"), "error 98 10.63.0.254 is the gateway of a route"},
        {Hold("10.63.0.79"), "error 98 10.63.0.79 is answered by the station 02:00:00:00:00:79"},
        {Hold("10.63.0.80"), "error 98 10.63.0.80 is answered by the station 02:00:00:00:00:80"},
        {Hold("10.63.0.90"), "error 98 10.63.0.90 is answered by the station " + station.substr(0, 17)},
        {Hold("10.63.0.77"), "error 13 10.63.0.77 has a static entry that the tool did not make"},
        {Hold("10.63.0.78"), "error 13 10.63.0.78 has a static entry that the tool did not make"},
        {Hold("10.63.0.1"), "error 98 10.63.0.1 is an address of this host"},
        {Hold("127.0.0.1"), "error 98 127.0.0.1 is an address of this host"},
        {Hold("10.63.0.0"), "error 22 10.63.0.0 is the network address"},
        {Hold("10.63.0.255"), "error 22 10.63.0.255 is the broadcast address"},
        {Hold("224.0.0.1"), "error 22 224.0.0.1 is no station's address"},
        {Hold("10.63.0.50", 31), "error 22 a hold of 31 s is beyond the limit of 30 s"},
        {"hold " + lan + " 10.63.0.50 ff:ff:ff:ff:ff:ff 30\n", "error 22 the MAC address ff:ff:ff:ff:ff:ff is a group address"},
        {"hold 1 10.63.0.50" + std::string(kStation) + " 30\n", "error 95 interface 1 does not use ARP"},
        {"delete " + lan + " 10.63.0.77\n", "error 13 10.63.0.77 has a static entry that the tool did not make"},
        {"delete " + lan + " 10.63.0.79\n", "error 98 10.63.0.79 is answered by the station 02:00:00:00:00:79"},
        {"delete " + lan + " 10.63.0.99\n", "error 2 the entry for 10.63.0.99"},
        // Without its newline the request never arrives whole; the service does not wait for it.
        {Hold("10.63.0.50").substr(0, 20), "error 22 malformed request"},
    };
    for (const auto& [request, answer] : refused) {
        const auto start = std::chrono::steady_clock::now();
        const TMemberRequest member(Socket, request, kMember);
        EXPECT_EQ(member.Answer.rfind(answer, 0), 0u) << request << "answered: " << member.Answer;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms) << request;
    }
    EXPECT_EQ(Workstation->ExecOrThrow("ip -4 neigh show"), before);
    // The outsider is refused by the socket's mode; what libnl would read never reached the service.
    EXPECT_EQ(TMemberRequest(Socket, Hold("10.63.0.50"), kMember, true).Answer, "connect: Permission denied\n");
    ucred peer{};
    socklen_t length = sizeof peer;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, Socket.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length), 0);
    close(fd);
    std::ifstream environment("/proc/" + std::to_string(peer.pid) + "/environ");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(environment), {}), "");
}

TEST_F(ARPHelperLab, NoEntryOutlivesItsHoldWhateverTheMemberDoesAndNoMemberBlocksAnother)
{
    StartService();
    const auto held = [&](const std::string& IP) { return Permanent().find(IP + " ") != std::string::npos; };
    {
        // Stopped: the service's own clock ends the hold.
        const TMemberRequest stopped(Socket, Hold("10.63.0.60", 2), kMember);
        ASSERT_EQ(stopped.Answer, "ok\n");
        stopped.Signal(SIGSTOP);
        EXPECT_TRUE(held("10.63.0.60"));
        EXPECT_TRUE(WaitFor([&] { return !held("10.63.0.60"); }, 3s)) << Permanent();
        // Killed: the entry goes with the connection.
        const TMemberRequest killed(Socket, Hold("10.63.0.61"), kMember);
        ASSERT_EQ(killed.Answer, "ok\n");
        killed.Signal(SIGKILL);
        EXPECT_TRUE(WaitFor([&] { return !held("10.63.0.61"); }, 500ms)) << Permanent();
    }
    std::vector<std::unique_ptr<TMemberRequest>> holds;
    for (int i = 0; i < kARPUserHoldLimit; ++i) {
        holds.push_back(std::make_unique<TMemberRequest>(Socket, Hold("10.63.0." + std::to_string(100 + i)), kMember));
        ASSERT_EQ(holds.back()->Answer, "ok\n") << i;
    }
    EXPECT_EQ(TMemberRequest(Socket, Hold("10.63.0.120"), kMember).Answer,
              "error 11 user 64233 has 8 requests open, the most one user may have; try again when one ends\n");
    // The other member is not blocked, but cannot take an address the first one holds.
    EXPECT_EQ(TMemberRequest(Socket, Hold("10.63.0.121"), kOtherMember).Answer, "ok\n");
    EXPECT_EQ(TMemberRequest(Socket, Hold("10.63.0.100"), kOtherMember).Answer,
              "error 16 10.63.0.100 is held by another request\n");
    for (const auto& hold : holds)
        hold->Signal(SIGKILL);
    EXPECT_TRUE(WaitFor([&] { return Permanent().empty(); }, 1s)) << Permanent();
}
