// The device list while a scan runs: 250 simulated devices on loopback answer spread over the
// first 2.5 s of the answer time-out. Prints how late each device reached the list after its
// answer left, the longest gap in the window's event processing during the scan, and how many
// devices the list holds when the time-out ends. Use QT_QPA_PLATFORM to choose the window
// system (offscreen when unset).
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "conversation/RecordingView.h"
#include "model/DeviceMapping.h"
#include "sim/SimText.h"
#include "sim/TSimUdpHost.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kDevices = 250;
constexpr int kSpreadMs = 10;

double Ms(TClock::duration Duration) { return std::chrono::duration<double, std::milli>(Duration).count(); }

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qubra::TApplication application(argc, argv);
    qubra::TSimUdpHost host;
    std::map<std::string, int> delayOf;
    for (int i = 0; i < kDevices; ++i) {
        char mac[18], ip[16];
        std::snprintf(mac, sizeof mac, "00-20-4a-01-%02x-%02x", i / 256, i % 256);
        std::snprintf(ip, sizeof ip, "127.0.%d.%d", 1 + i / 200, 1 + i % 200);
        host.AddDevice(qubra::SimTextToMAC(mac), qubra::SimTextToIP(ip), {.AnswerDelayMs = i * kSpreadMs});
        delayOf[mac] = i * kSpreadMs;
    }
    host.Start();

    const std::unique_ptr<qubra::TDataManager> manager = qubra::LoadDeviceMapping("");
    qubra::TRecordingView views, boxes;
    qubra::TfQUBRA window(*manager, {&boxes, [&] { return std::make_unique<qubra::TRecordingView>(); }, {}, {}});
    window.Controller().Link.DevicePort = host.Port();
    window.Controller().Link.BroadcastIP = "127.255.255.255";
    window.show();

    // A timer that fires whenever the loop is free: the time between its runs is the gap.
    QTimer ticker;
    ticker.setInterval(0);
    TClock::time_point last = TClock::now();
    TClock::duration longestGap{};
    std::map<std::string, TClock::time_point> seen;
    const TClock::time_point start = TClock::now();
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const TClock::time_point now = TClock::now();
        longestGap = std::max(longestGap, now - last);
        last = now;
        for (const qubra::TDeviceRow& row : window.Devices->List().Rows()) seen.emplace(row.Entry.MAC, now);
    });
    window.LANClick();
    last = TClock::now();
    ticker.start();
    while (window.Devices->Scanning()) QApplication::processEvents(QEventLoop::AllEvents);
    const TClock::duration scan = TClock::now() - start;
    ticker.stop();

    std::vector<double> late;
    for (const auto& [mac, at] : seen) late.push_back(Ms(at - start) - delayOf[mac]);
    std::sort(late.begin(), late.end());
    const std::size_t listed = window.Devices->List().Rows().size();
    std::printf("devices listed at the time-out: %zu of %d (scan %.0f ms)\n", listed, kDevices, Ms(scan));
    if (!late.empty())
        std::printf("from answer to list: median %.1f ms, 95th %.1f ms, longest %.1f ms\n", late[late.size() / 2],
                    late[late.size() * 95 / 100], late.back());
    std::printf("longest gap in event processing during the scan: %.1f ms\n", Ms(longestGap));
    return listed == static_cast<std::size_t>(kDevices) ? 0 : 1;
}
