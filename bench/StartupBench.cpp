// Start-up of the desktop program: the time from exec to the main window being exposed on the
// screen, measured by running the program's own start-up several times, each in a fresh
// process. Prints every run and the median. Use QT_QPA_PLATFORM (offscreen, xcb) to choose
// the window system.
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "model/DeviceMapping.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"

namespace {

using TClock = std::chrono::steady_clock;

// One start-up, as the program does it; the child's exit code carries nothing, its output
// the milliseconds since the parent's exec of it.
int RunOnce(int argc, char** argv, long long ExecNs)
{
    qubra::TApplication application(argc, argv);
    // A missing language file would wait for its message box to be closed.
    application.SetShowBox([](const qubra::TApplicationBox& Box) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(Box.Text));
    });
    const std::unique_ptr<qubra::TDataManager> manager = qubra::LoadDeviceMapping();
    qubra::TfQUBRA window(*manager);
    window.StartLanguage();
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const long long now = TClock::now().time_since_epoch().count();
    std::printf("%.1f\n", (now - ExecNs) / 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::string(argv[1]) == "--once") return RunOnce(argc, argv, std::atoll(argv[2]));
    constexpr int runs = 7;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return 1;
        const std::string start = std::to_string(TClock::now().time_since_epoch().count());
        const pid_t child = fork();
        if (child == 0) {
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            execl("/proc/self/exe", argv[0], "--once", start.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeEnds[1]);
        char buffer[64] = {};
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer - 1);
        close(pipeEnds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (n <= 0) return 1;
        times.push_back(std::atof(buffer));
        std::printf("run %d: %.1f ms from exec to the main window exposed\n", i + 1, times.back());
    }
    std::sort(times.begin(), times.end());
    std::printf("median: %.1f ms (%d runs)\n", times[runs / 2], runs);
    return 0;
}
