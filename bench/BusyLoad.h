#pragma once

// A bounded load beside a benchmark: processes that spin while it lives, one per core unless
// told otherwise. A child ends by itself after its bound and when the benchmark process dies,
// so an interrupted run leaves nothing spinning.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace qubra::bench {

class TBusyLoad {
public:
    // Processes 0: none (the quiet run of a benchmark that is run both ways).
    explicit TBusyLoad(int Processes = static_cast<int>(std::thread::hardware_concurrency()),
                       unsigned BoundSeconds = 120)
    {
        for (int i = 0; i < Processes; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);
                alarm(BoundSeconds);
                volatile unsigned long spin = 0;
                for (;;)
                    spin = spin + 1;
            }
            if (pid > 0)
                FChildren.push_back(pid);
        }
    }
    ~TBusyLoad()
    {
        for (pid_t pid : FChildren)
            kill(pid, SIGKILL);
        for (pid_t pid : FChildren)
            waitpid(pid, nullptr, 0);
    }
    TBusyLoad(const TBusyLoad&) = delete;
    TBusyLoad& operator=(const TBusyLoad&) = delete;

private:
    std::vector<pid_t> FChildren;
};

} // namespace qubra::bench
