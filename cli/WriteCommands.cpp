// write, defaults and import: the same flow on each device given, with its own change.
#include "cli/BatchSetup.h"
#include "cli/Interrupt.h"
#include "cli/SetupFile.h"

namespace qubra {

namespace {

int RunOnTargets(const TCommandContext& Context,
                 std::function<void(std::size_t, TDataManager&)> Edit)
{
    std::vector<std::string> targets;
    for (const TTarget& target : Context.Args.Targets)
        targets.push_back(target.Text);
    TSetupSteps steps;
    steps.Reach = [&](std::size_t Index, TDeviceController& Device, TDeviceRow&) {
        const TTarget& target = Context.Args.Targets[Index];
        return Device.FindAndReadDevice(target.IP, nullptr, target.MAC);
    };
    steps.Edit = std::move(Edit);
    return RunSetupBatch(Context, targets, steps);
}

} // namespace

int WriteCommand(const TCommandContext& Context)
{
    // What no device can hold is refused before any is read; what only a device's present
    // value allows is decided on its own record.
    CheckInput([&] {
        const TImmediateStop checking;
        const std::unique_ptr<TDataManager> scratch = Context.LoadLayout();
        for (const std::string& setting : Context.Args.Settings)
            ApplySetting(*scratch, setting, TPresentValue::AnyItHolds);
    });
    return RunOnTargets(Context, [&](std::size_t, TDataManager& Records) {
        for (const std::string& setting : Context.Args.Settings)
            ApplySetting(Records, setting);
    });
}

int DefaultsCommand(const TCommandContext& Context)
{
    return RunOnTargets(Context, [](std::size_t, TDataManager& Records) { Records.ApplyDefaults(); });
}

int ImportCommand(const TCommandContext& Context)
{
    TSetupImage image;
    CheckInput([&] {
        const TImmediateStop reading;
        image = ReadSetupFile(Context.Args.InFile, *Context.LoadLayout());
    });
    return RunOnTargets(Context, [&](std::size_t, TDataManager& Records) {
        ApplySetupImage(image, Records, Context.Args.WithNetwork);
    });
}

} // namespace qubra
