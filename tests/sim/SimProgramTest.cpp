// Runs the qubra-sim program as a subprocess on loopback.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "tests/sim/SimTestClient.h"

using namespace qubra;
using simtest::Request;
using simtest::TTestClient;

namespace {

// The program with its standard output on a pipe; ended by SIGTERM when destroyed.
class TSimProcess {
public:
    explicit TSimProcess(std::vector<std::string> arguments)
    {
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        arguments.insert(arguments.begin(), QUBRA_SIM_PROGRAM);
        Pid = fork();
        if (Pid == 0) {
            dup2(pipeEnds[1], STDOUT_FILENO);
            dup2(pipeEnds[1], STDERR_FILENO);
            std::vector<char*> argv;
            for (auto& argument : arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(pipeEnds[1]);
        Output = pipeEnds[0];
    }
    ~TSimProcess()
    {
        if (Pid > 0 && !Ended) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        close(Output);
    }

    // The next line of output, or "" when none comes in time.
    std::string ReadLine(int timeoutMs = 3000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Buffer.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd wait{Output, POLLIN, 0};
            if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) != 1)
                return "";
            char chunk[4096];
            const ssize_t got = read(Output, chunk, sizeof chunk);
            if (got <= 0)
                return "";
            Buffer.append(chunk, static_cast<std::size_t>(got));
        }
        const std::size_t end_of_line = Buffer.find('\n');
        std::string line = Buffer.substr(0, end_of_line);
        Buffer.erase(0, end_of_line + 1);
        return line;
    }

    // Everything written until the program closed its output.
    std::string ReadAll()
    {
        char chunk[4096];
        for (ssize_t got; (got = read(Output, chunk, sizeof chunk)) > 0;)
            Buffer.append(chunk, static_cast<std::size_t>(got));
        return std::exchange(Buffer, {});
    }

    // Exit status after SIGTERM (or after it ended by itself), -1 when it did not end in time.
    int Terminate(int signal = SIGTERM)
    {
        if (!Ended)
            kill(Pid, signal);
        return Wait();
    }
    int Wait()
    {
        for (int i = 0; i < 300 && !Ended; ++i) {
            int status = 0;
            if (waitpid(Pid, &status, WNOHANG) == Pid) {
                Ended = true;
                Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            } else {
                usleep(10000);
            }
        }
        return Ended ? Status : -1;
    }

private:
    pid_t Pid = -1;
    int Output = -1;
    std::string Buffer;
    bool Ended = false;
    int Status = -1;
};

std::uint16_t ReadyPort(const std::string& line)
{
    std::istringstream words(line);
    std::string ready, mode, port;
    unsigned number = 0;
    words >> ready >> mode >> port >> number;
    return ready == "ready" && port == "port" ? static_cast<std::uint16_t>(number) : 0;
}

} // namespace

TEST(SimProgram, LogsEveryDatagramWithItsPayloadAndEndsOnSignal)
{
    for (int signal : {SIGTERM, SIGINT}) {
        // A knob given as an option applies to the devices after it, unless one overrides it.
        TSimProcess sim({"--port", "0", "--log", "--duplicates", "1", "--device",
                         "00-20-4a-00-00-31,127.0.9.1,silent", "--device",
                         "00-20-4a-00-00-32,127.0.9.2,wrong-code=none"});
        const std::uint16_t port = ReadyPort(sim.ReadLine());
        ASSERT_NE(port, 0);

        TTestClient client;
        TBytes query = Request(0xE0);
        query[0] = 0x5C;
        client.SendTo("127.0.9.1", port, query);
        client.SendTo("127.0.9.2", port, query);
        const auto answers = client.ReceiveAll(300);
        ASSERT_EQ(answers.size(), 2u);
        const std::string silent = "127.0.9.1:" + std::to_string(port);
        EXPECT_NE(sim.ReadLine().find(" > " + silent + " 4 5C0000E0"), std::string::npos);

        const std::string from = "127.0.0.1:" + std::to_string(client.Port());
        const std::string device = "127.0.9.2:" + std::to_string(port);
        EXPECT_EQ(sim.ReadLine(), "in 00-20-4a-00-00-32 " + from + " > " + device + " 4 5C0000E0");
        for (const auto& answer : answers)
            EXPECT_EQ(sim.ReadLine(), "out 00-20-4a-00-00-32 " + device + " > " + from +
                                          " 120 " + SimHex(answer.Data));
        EXPECT_EQ(sim.Terminate(signal), 0);
    }
}

TEST(SimProgram, HelpDocumentsEveryOptionAndBadInputFails)
{
    TSimProcess help({"--help"});
    EXPECT_EQ(help.Wait(), 0);
    const std::string text = help.ReadAll();
    for (const char* option : {"--device", "--udp", "--port", "--broadcast", "--raw", "--delay",
                               "--loss", "--loss-pattern", "--duplicates", "--wrong-code", "--silent",
                               "--restart", "--silent-arp", "--short", "--log", "SIGTERM", "ready"})
        EXPECT_NE(text.find(option), std::string::npos) << option;

    for (std::vector<std::string> bad :
         {std::vector<std::string>{}, {"--device", "00-20-4a-00-00-01,192.0.2.1"}}) {
        TSimProcess sim(bad);
        EXPECT_NE(sim.ReadLine().find("qubra-sim: "), std::string::npos);
        EXPECT_EQ(sim.Wait(), 2);
    }
}
