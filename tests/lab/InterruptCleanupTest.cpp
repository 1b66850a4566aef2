// A run ended by a signal must not leave its namespaces behind.
#include "tests/lab/InterruptCleanup.h"

#include <csignal>
#include <filesystem>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/lab/support/LabNetwork.h"

namespace qubra::lab {
namespace {

bool NamespaceExists(const std::string& Name)
{
    return std::filesystem::exists("/run/netns/" + Name);
}

// In a child process: makes a namespace, tells its name through Pipe, and is ended by Signal
// while the namespace is registered (so no destructor runs).
[[noreturn]] void MakeNamespaceAndDie(int Pipe, int Signal)
{
    try {
        auto* ns = new TNetNamespace("qint");
        new TRemoveOnInterrupt(ns->Name());
        const std::string name = ns->Name() + "\n";
        if (write(Pipe, name.data(), name.size()) != static_cast<ssize_t>(name.size()))
            _exit(3);
        raise(Signal);
    } catch (...) {
        _exit(2);
    }
    _exit(1);
}

TEST(LabInterrupt, NamespacesGoAwayWhenTheRunIsEndedByASignal)
{
    QUBRA_LAB_REQUIRE_ROOT();
    for (int signal : {SIGINT, SIGTERM}) {
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            MakeNamespaceAndDie(pipe[1], signal);
        close(pipe[1]);
        std::string name;
        char c;
        while (read(pipe[0], &c, 1) == 1 && c != '\n')
            name += c;
        close(pipe[0]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_FALSE(name.empty()) << "the child made no namespace, exit status " << status;
        const bool left = NamespaceExists(name);
        if (left)
            RunCommand("ip netns del " + name);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
            << "the signal still ends the program, status " << status;
        EXPECT_FALSE(left) << name << " was left behind after signal " << signal;
    }
}

} // namespace
} // namespace qubra::lab
