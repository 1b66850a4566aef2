// provision: devices known by their MACs, often all at one factory address, each get the address
// of their line of the plan and then the tested configuration of an export file.
#include <atomic>
#include <thread>

#include "cli/BatchSetup.h"
#include "cli/Interrupt.h"
#include "cli/ProvisionPlan.h"
#include "cli/SetupFile.h"
#include "model/FileText.h"
#include "control/DeviceBatch.h"
#include "i18n/Language.h"
#include "net/ARPManager.h"

namespace qubra {

namespace {

// Assignments at once: each may need a temporary ARP entry, of which the helper grants a few
// per user; the batch waits for a free one rather than fail.
constexpr int kAssignmentsAtOnce = 4;

// The network a device of the plan gets: the plan's, else the tested configuration's mask and
// gateway.
struct TPlannedNetwork {
    std::string IP;
    std::uint32_t Mask = 0;
    std::string Gateway;
};

TPlannedNetwork PlannedNetwork(const TPlanEntry& Entry, const TDataManager& Tested)
{
    TPlannedNetwork network{IPToStr(Entry.IP), 0, "0.0.0.0"};
    const TItemValue hostBits = Tested.GetValue("num_host_bits");
    network.Mask = Entry.Mask ? *Entry.Mask
                              : TARPManager::HostBitsToMask(hostBits.IsNull() ? 0 : static_cast<int>(hostBits.Integer()));
    if (Entry.Gateway)
        network.Gateway = IPToStr(*Entry.Gateway);
    else if (const TItemValue gateway = Tested.GetValue("gateway_ip"); !gateway.IsNull())
        network.Gateway = gateway.AsText();
    return network;
}

// Refuses the plan when a station other than the device of the line answers for its address.
// The addresses are resolved side by side: each may take up to a second.
void CheckAddressesFree(const std::vector<TPlanEntry>& Plan, const std::string& PlanFile, int Jobs)
{
    std::vector<std::string> refusals(Plan.size());
    std::atomic<std::size_t> next{0};
    const auto check = [&] {
        for (std::size_t i; (i = next++) < Plan.size();) {
            TPhysAddr answer{};
            if (!ARPManager().ResolveMAC(Plan[i].IP, answer))
                continue;
            const TMACAddress station = MACOfAnswer(answer);
            if (!IsZeroMAC(station) && station != Plan[i].MAC)
                refusals[i] = PlanFile + ":" + std::to_string(Plan[i].Line) + ": address " +
                              IPToStr(Plan[i].IP) + " is already answered by " + MACToStr(station);
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < std::min<std::size_t>(Plan.size(), Jobs); ++i)
        threads.emplace_back(check);
    for (std::thread& thread : threads)
        thread.join();
    for (const std::string& refusal : refusals)
        if (!refusal.empty())
            throw EUsage(refusal);
}

// Found and, when it can be, read where it is now; nothing is sent but the search and the read.
bool ReachForDryRun(TDeviceController& Device, const TPlanEntry& Entry, TDeviceRow& Row,
                    const TPlannedNetwork& Network)
{
    std::string ip;
    if (Device.SearchDevice(Entry.MAC, ip) != TStepOutcome::Done)
        return false;
    Row.IPBefore = ip;
    if (Device.FindAndReadDevice(StrToIP(ip), nullptr, Entry.MAC))
        return true;
    Row.Unread = true;
    const std::string notice = Row.LastNotice ? *Row.LastNotice : "";
    Row.Note = "the records could not be read at " + ip + (notice.empty() ? "" : ": " + notice);
    Row.IPAfter = Network.IP;
    Row.Changes.push_back({"SetupRecord0.unit_ip", ip, Network.IP});
    return true;
}

bool AssignAndRead(TDeviceController& Device, const TPlanEntry& Entry, TDeviceRow& Row,
                   const TPlannedNetwork& Network, TBatchPermits& Assignments)
{
    std::string ip;
    if (Device.SearchDevice(Entry.MAC, ip) == TStepOutcome::Done)
        Row.IPBefore = ip;
    if (!Assignments.Acquire([] { return InterruptSignal() != 0; }))
        return false;
    TAssignResult result;
    try {
        result = Device.AssignAddress(Entry.MAC, Network.IP, Network.Mask, Network.Gateway);
    } catch (...) {
        Assignments.Release();
        throw;
    }
    Assignments.Release();
    if (result.Outcome != TAssignOutcome::Assigned) {
        if (result.Outcome == TAssignOutcome::NotAssigned)
            Row.Error = GetText(result.DeviceAnswered ? msgIPNebylaNastav : msgZarizeniNebyloExclamation);
        return false;
    }
    return Device.ReadAssignedDevice(Entry.MAC, msgZarizeniNebylo0FullStop);
}

} // namespace

int ProvisionCommand(const TCommandContext& Context)
{
    const TArguments& args = Context.Args;
    std::vector<TPlanEntry> plan;
    TSetupImage image;
    const std::unique_ptr<TDataManager> tested = Context.LoadLayout();
    CheckInput([&] {
        plan = ParseProvisionPlan(ReadFileText(args.PlanFile, kMaxPlanBytes), args.PlanFile);
        image = ReadSetupFile(args.InFile, *tested);
        ApplySetupImage(image, *tested, true);
        if (!args.ReportFile.empty())
            CheckOutFile(args.ReportFile);
    });
    CheckAddressesFree(plan, args.PlanFile, args.Jobs);
    ThrowIfInterrupted();

    std::vector<TPlannedNetwork> networks;
    std::vector<std::string> targets;
    for (const TPlanEntry& entry : plan) {
        networks.push_back(PlannedNetwork(entry, *tested));
        targets.push_back(args.PlanFile + ":" + std::to_string(entry.Line));
    }
    TBatchPermits assignments(kAssignmentsAtOnce);
    TSetupSteps steps;
    steps.Reach = [&](std::size_t Index, TDeviceController& Device, TDeviceRow& Row) {
        if (args.DryRun)
            return ReachForDryRun(Device, plan[Index], Row, networks[Index]);
        return AssignAndRead(Device, plan[Index], Row, networks[Index], assignments);
    };
    steps.Edit = [&](std::size_t Index, TDataManager& Records) {
        ApplySetupImage(image, Records, true);
        const TPlannedNetwork& network = networks[Index];
        Records.SetValue("unit_ip", network.IP);
        if (Records.FindItem("gateway_ip"))
            Records.SetValue("gateway_ip", network.Gateway);
        if (Records.FindItem("num_host_bits"))
            Records.SetValue("num_host_bits", TARPManager::MaskToHostBits(network.Mask));
    };
    return RunSetupBatch(Context, targets, steps);
}

} // namespace qubra
