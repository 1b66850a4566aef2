// The module's side of the ARP service against a stand-in service on a socket of the test: what
// it asks, how long it keeps each connection, and what it makes of each answer.
#include "net/ARPHelperClient.h"
#include "tests/net/ARPTestSupport.h"

#include <cerrno>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include <linux/capability.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace qubra;

namespace {

// Sets or clears CAP_NET_ADMIN in the calling thread's effective set: without it the client
// never places an entry itself, so nothing here touches the host's table.
void EffectiveNetAdmin(bool On)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return;
    if (On)
        data[0].effective |= data[0].permitted & (1u << CAP_NET_ADMIN);
    else
        data[0].effective &= ~(1u << CAP_NET_ADMIN);
    syscall(SYS_capset, &header, data);
}

// Answers the n-th connection's request with Answer(n); after an "ok" to a hold it logs what
// ends the hold ("end <line>", or "end" at the connection's end) and answers "ok" again.
class TStandIn {
public:
    TStandIn(std::string Path, std::function<std::string(int)> Answer) : Path(std::move(Path)), Answer(std::move(Answer))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, this->Path.c_str());
        Fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (bind(Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(Fd, 8) != 0)
            throw std::runtime_error("stand-in service");
        Acceptor = std::thread([this] {
            for (int n = 0, fd; (fd = accept(Fd, nullptr, nullptr)) >= 0; ++n)
                Served.emplace_back([this, fd, n] { Serve(fd, n); });
        });
    }
    ~TStandIn()
    {
        shutdown(Fd, SHUT_RDWR);
        Acceptor.join();
        for (std::thread& served : Served)
            served.join();
        close(Fd);
    }
    std::string Logged()
    {
        std::lock_guard guard(Lock);
        return Log;
    }

private:
    std::string Path;
    std::function<std::string(int)> Answer;
    int Fd = -1;
    std::thread Acceptor;
    std::vector<std::thread> Served;
    std::mutex Lock;
    std::string Log;

    static std::string Line(int Fd)
    {
        std::string line;
        for (char c; line.find('\n') == std::string::npos && recv(Fd, &c, 1, 0) == 1;)
            line += c;
        return line;
    }
    void Serve(int Fd, int N)
    {
        const std::string request = Line(Fd), answer = Answer(N);
        {
            std::lock_guard guard(Lock);
            Log += request;
        }
        send(Fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        if (answer == "ok\n" && request.rfind("hold", 0) == 0) {
            const std::string end = Line(Fd);
            std::lock_guard guard(Lock);
            Log += "end " + end + (end.empty() ? "\n" : "");
            send(Fd, "ok\n", 3, MSG_NOSIGNAL);
        }
        close(Fd);
    }
};

class ARPHelperClientTest : public ::testing::Test {
protected:
    std::filesystem::path Folder;
    std::string Socket;

    void SetUp() override
    {
        char pattern[] = "/tmp/qubra-service-client-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Folder = pattern;
        Socket = (Folder / "arpd.socket").string();
        EffectiveNetAdmin(false);
    }
    void TearDown() override
    {
        EffectiveNetAdmin(true);
        std::filesystem::remove_all(Folder);
    }

    static MIB_IPNETROW Row(const char* IP) { return test::StaticRow(3, IP, {0x02, 0x20, 0x4A, 0x12, 0xAB, 0xCD}); }
};

} // namespace

TEST_F(ARPHelperClientTest, HeldEntryLastsUntilDeletedOrUntilTheClientGoes)
{
    TStandIn service(Socket, [](int) { return std::string("ok\n"); });
    {
        TARPHelperClient client(Socket);
        ASSERT_EQ(client.Hold(Row("10.81.0.50")), 0u) << TARPHelperClient::LastError();
        ASSERT_EQ(client.Hold(Row("192.168.1.254")), 0u);
        // The held entry is released on its own connection; any other row on one of its own.
        EXPECT_EQ(client.Delete(Row("10.81.0.50")), 0u);
        EXPECT_EQ(client.Delete(Row("10.81.0.51")), 0u);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string logged = service.Logged();
        EXPECT_NE(logged.find("hold 3 10.81.0.50 02:20:4a:12:ab:cd 30\n"), std::string::npos) << logged;
        EXPECT_NE(logged.find("end release\n"), std::string::npos) << logged;
        EXPECT_NE(logged.find("delete 3 10.81.0.51\n"), std::string::npos) << logged;
        EXPECT_EQ(logged.find("end \n"), std::string::npos) << "the second one is still held: " << logged;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_NE(service.Logged().find("end release\n", service.Logged().find("end release\n") + 1), std::string::npos)
        << "the client's end released the second: " << service.Logged();
}

TEST_F(ARPHelperClientTest, EachAnswerBecomesItsCodeAndTheTextThatTellsMore)
{
    const auto missingRight = [&](const char* Reason) {
        const std::string text = TARPHelperClient::LastError();
        EXPECT_NE(text.find("CAP_NET_ADMIN"), std::string::npos) << text;
        EXPECT_NE(text.find("group qubra232"), std::string::npos) << text;
        EXPECT_NE(text.find(Reason), std::string::npos) << text;
    };
    TARPHelperClient client(Socket);
    EXPECT_EQ(client.Hold(Row("10.81.0.50")), static_cast<std::uint32_t>(ENOENT));
    missingRight(("its socket " + Socket + " is not there").c_str());

    const std::pair<std::string, std::pair<int, std::string>> answers[] = {
        {"error 1 only root and the members of the group qubra232 may ask for entries\n", {EPERM, "this user may not use it"}},
        {"error 98 10.81.0.50 is answered by the station 02:00:00:00:00:77; its address is not the tool's to take\n",
         {EADDRINUSE, "10.81.0.50 is answered by the station 02:00:00:00:00:77; its address is not the tool's to take"}},
        // The system's text for the code says all that this one says.
        {"error 2 the entry for 10.81.0.50: No such file or directory\n", {ENOENT, ""}},
        {"error x\n", {EIO, ""}},
        {"", {EIO, ""}}, // ended without an answer
    };
    for (const auto& [answer, expected] : answers) {
        TStandIn service(Socket, [&](int) { return answer; });
        EXPECT_EQ(client.Hold(Row("10.81.0.50")), static_cast<std::uint32_t>(expected.first)) << answer;
        if (expected.first == EPERM)
            missingRight(expected.second.c_str());
        else
            EXPECT_EQ(TARPHelperClient::LastError(), expected.second) << answer;
        std::filesystem::remove(Socket);
    }
}

TEST_F(ARPHelperClientTest, AUserAtTheLimitWaitsForAFreeHold)
{
    // Refused twice as one user's limit is reached, then taken.
    TStandIn service(Socket, [](int N) {
        return N < 2 ? std::string("error 11 user 64233 has 8 requests open, the most one user may have; try again "
                                   "when one ends\n")
                     : std::string("ok\n");
    });
    TARPHelperClient client(Socket);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Hold(Row("10.81.0.50")), 0u) << TARPHelperClient::LastError();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_EQ(client.Delete(Row("10.81.0.50")), 0u);
}
