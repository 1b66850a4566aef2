// Soak: 10 000 reads of one simulated device in one process, through the device controller as
// the desktop program drives it (a communication window of its own for every read). Resident
// memory and open descriptors are printed at the start, after the first 100 reads (allocator
// and socket buffers settled), every 2000 reads and at the end; growth after the warm-up would
// be a leak. An argument gives another number of reads.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "control/DeviceController.h"
#include "conversation/RecordingView.h"
#include "model/Conversions.h"
#include "model/DeviceMapping.h"
#include "sim/TSimUdpHost.h"

namespace {

using namespace qubra;

long ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int OpenDescriptors()
{
    DIR* folder = opendir("/proc/self/fd");
    int count = 0;
    while (readdir(folder))
        ++count;
    closedir(folder);
    // ".", ".." and the folder's own descriptor.
    return count - 3;
}

void Report(const char* When, int Reads)
{
    std::printf("%-18s reads %6d  resident %7ld KiB  descriptors %3d\n", When, Reads, ResidentKiB(),
                OpenDescriptors());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const int reads = argc > 1 ? std::atoi(argv[1]) : 10000;
    const TMACAddress mac{0x00, 0x20, 0x4a, 0x00, 0x00, 0x01};
    TSimUdpHost host;
    TSimDevice& device = host.AddDevice(SimTextToMAC("00-20-4a-00-00-01"), SimTextToIP("127.0.0.1"), TSimKnobs{});
    host.Start();
    const std::unique_ptr<TDataManager> manager = LoadDeviceMapping("");
    TRecordingView mainView;
    TDeviceController controller(*manager, mainView, [] { return std::make_unique<TRecordingView>(); });
    controller.Link.DevicePort = host.Port();
    controller.Link.BroadcastIP = "127.255.255.255";

    Report("start", 0);
    int failed = 0;
    for (int i = 1; i <= reads; ++i) {
        failed += controller.FindAndReadDevice(StrToIP("127.0.0.1"), nullptr, mac) ? 0 : 1;
        // The simulated device logs what it receives, for tests; only the engine is measured.
        device.ClearReceived();
        if (i == 100 || i % 2000 == 0 || i == reads)
            Report(i == reads ? "end" : i == 100 ? "after warm-up" : "", i);
    }
    std::printf("failed reads %d\n", failed);
    return failed == 0 ? 0 : 1;
}
