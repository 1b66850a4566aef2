#pragma once

// Runs a program as a user would: arguments, standard input, standard output and error apart,
// the exit status; optionally inside a network namespace ("ip netns exec"), or with a terminal
// as standard input.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qubra::clitest {

struct TProgramResult {
    int ExitCode = -1;  // 128 + signal when killed by one
    std::string Out;
    std::string Err;
};

struct TTerminalInput {};

class TProgram {
public:
    // Starts Arguments (the program first); Input is written to its standard input, which is
    // then closed.
    explicit TProgram(std::vector<std::string> Arguments, const std::string& Input = "")
    {
        int in[2];
        if (pipe2(in, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        Start(Arguments, in);
        if (!Input.empty() && write(in[1], Input.data(), Input.size()) < 0)
            throw std::runtime_error("write");
        close(in[1]);
    }
    // Standard input is a terminal of its own; Type writes to it.
    TProgram(std::vector<std::string> Arguments, TTerminalInput)
    {
        int in[2];
        if (openpty(&in[1], &in[0], nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        fcntl(in[0], F_SETFD, FD_CLOEXEC);
        fcntl(in[1], F_SETFD, FD_CLOEXEC);
        Start(Arguments, in);
        Terminal = in[1];
    }
    ~TProgram()
    {
        if (!Ended) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        close(Out);
        close(Err);
        if (Terminal >= 0)
            close(Terminal);
    }
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    void Signal(int Number) { kill(Pid, Number); }
    bool Running()
    {
        Collect(0);
        return !Ended;
    }
    void Type(const std::string& Text)
    {
        if (write(Terminal, Text.data(), Text.size()) < 0)
            throw std::runtime_error("write");
    }
    // True once standard error holds Text (within TimeoutMs, while the program runs).
    bool WaitForError(const std::string& Text, int TimeoutMs = 10000)
    {
        return WaitFor(Result.Err, Text, TimeoutMs);
    }
    // The same for standard output.
    bool WaitForOutput(const std::string& Text, int TimeoutMs = 10000)
    {
        return WaitFor(Result.Out, Text, TimeoutMs);
    }
    const TProgramResult& SoFar() const { return Result; }

    // Waits for the end (killing the program after TimeoutMs) and gives what it wrote.
    TProgramResult Wait(int TimeoutMs = 30000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
        while (!Ended && std::chrono::steady_clock::now() < end)
            Collect(10);
        if (!Ended) {
            kill(Pid, SIGKILL);
            Result.Err += "\n[killed: did not end within " + std::to_string(TimeoutMs) + " ms]";
        }
        while (!Ended)
            Collect(10);
        while (Drain(0)) {
        }
        return Result;
    }

private:
    bool WaitFor(const std::string& Stream, const std::string& Text, int TimeoutMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
        while (Stream.find(Text) == std::string::npos && !Ended && std::chrono::steady_clock::now() < end)
            Collect(10);
        return Stream.find(Text) != std::string::npos;
    }

    // In: the read end for the program and the end the test keeps.
    void Start(std::vector<std::string>& Arguments, const int (&In)[2])
    {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        Pid = fork();
        if (Pid == 0) {
            dup2(In[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            std::vector<char*> argv;
            for (std::string& argument : Arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(In[0]);
        close(out[1]);
        close(err[1]);
        Out = out[0];
        Err = err[0];
    }

    void Collect(int PollMs)
    {
        Drain(PollMs);
        int status = 0;
        if (!Ended && waitpid(Pid, &status, WNOHANG) == Pid) {
            Ended = true;
            Result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }
    // True when something was read.
    bool Drain(int PollMs)
    {
        pollfd fds[2] = {{Out, POLLIN, 0}, {Err, POLLIN, 0}};
        if (poll(fds, 2, PollMs) <= 0)
            return false;
        bool got = false;
        char chunk[8192];
        for (int i = 0; i < 2; ++i)
            if (fds[i].revents & (POLLIN | POLLHUP))
                if (const ssize_t n = read(fds[i].fd, chunk, sizeof chunk); n > 0) {
                    (i == 0 ? Result.Out : Result.Err).append(chunk, static_cast<std::size_t>(n));
                    got = true;
                }
        return got;
    }

    pid_t Pid = -1;
    int Out = -1;
    int Err = -1;
    int Terminal = -1;
    bool Ended = false;
    TProgramResult Result;
};

inline TProgramResult RunProgram(std::vector<std::string> Arguments, const std::string& Input = "",
                                 int TimeoutMs = 30000)
{
    return TProgram(std::move(Arguments), Input).Wait(TimeoutMs);
}

} // namespace qubra::clitest
