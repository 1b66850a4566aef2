#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "control/LinkSettings.h"
#include "conversation/DataSender.h"
#include "i18n/Messages.h"
#include "model/Conversions.h"
#include "model/DataManager.h"

namespace qubra {

// The outcome of sending the records: every one confirmed, how many were sent and confirmed
// (both 0 when it stopped before sending).
struct TWriteCount {
    bool Success = false;
    int Sent = 0;
    int Confirmed = 0;
};

// The network settings a device reports.
struct TNetworkSettings {
    std::string IP;
    // In network order; 255.255.255.255 stands for the standard mask of the address.
    std::uint32_t Mask = 0;
    std::string Gateway;
};

// How an address assignment ended.
enum class TAssignOutcome {
    // The device confirmed the new settings or answered at its new address.
    Assigned,
    // A question was answered No, or the device did not take the address.
    NotAssigned,
    // An error ended it; it was shown as a notice.
    Failed,
    // The view asked to stop, or another command was running: nothing to report.
    Cancelled,
};

// How one step that talks to the device ended.
enum class TStepOutcome {
    // The device answered.
    Done,
    // The device was not found or did not answer.
    NotDone,
    // An error ended it (shown as a notice), the view asked to stop, or another command ran.
    Failed,
};

struct TAssignResult {
    TAssignOutcome Outcome = TAssignOutcome::NotAssigned;
    // The device answered during the attempt (found, or it confirmed), or the subnet question
    // was asked: tells a refused assignment from a device that was not found.
    bool DeviceAnswered = false;
};

// The commands of the main window on the device being set up: find and read it, write it with
// the subnet and conflict warnings, wait for it and read it back, restore the defaults, give it
// a new address. Each exchange runs in a communication window of its own, made with a view
// from CreateView; the main window's own questions go to MainView. Shows and asks nothing else.
//
// One command at a time: while one runs (its views pump the window system, so a click may
// arrive), every command called does nothing and returns at once. A command whose view asks
// to stop ends like a failure, without a notice, and Cancelled() tells so.
class TDeviceController {
public:
    using TViewFactory = TDataSenderViewFactory;

    TDeviceController(TDataManager& DataManager, TMessageBoxView& MainView, TViewFactory CreateView);

    TDataManager& DataManager;
    TLinkSettings Link;
    // Called as each command starts, before it talks to a device.
    std::function<void()> OnCommand;
    // The setup records of the current device were read completely.
    bool DeviceLoaded = false;
    // All zero: none.
    TMACAddress DeviceMAC{};
    // First octet in the low byte; 0: none.
    std::uint32_t DeviceIP = 0;
    std::uint32_t LastSearchIP = 0;
    TMACAddress LastSearchMAC{};

    // A command is running; the window's own commands (closing the settings, the language)
    // ask it too.
    bool Busy() const { return FBusy; }
    // The last command that ran was ended by its view's request to stop.
    bool Cancelled() const { return FCancelled; }

    // Locates the device by whichever of IP and MAC is known (both: no search) and reads its
    // setup records. Window: an existing communication window, or nullptr for a new one.
    bool FindAndReadDevice(std::uint32_t IP, TfDataSender* Window, const TMACAddress& MAC);
    // The same without the read: fills in the one of DeviceIP and DeviceMAC that was unknown.
    bool FindDevice(std::uint32_t IP, const TMACAddress& MAC);
    // The find commands: remember the address searched for, then find and read.
    bool FindByIP(std::uint32_t IP);
    bool FindByMAC(const TMACAddress& MAC);
    // Reads the current device again, looked up by its MAC so that a new address is followed.
    bool LoadFromDevice();
    // Puts the default value into every field that has one; nothing is sent. False while
    // another command runs.
    bool RestoreDefaults();

    // Sends the records read from the device, found again by its MAC.
    TWriteCount WriteDevice(TfDataSender* Window);
    // The write command on the record as it stands: asks when the record's address lies
    // outside the host's subnets or belongs to another station, writes, waits for the device by
    // its MAC and reads it back. True when every record was confirmed and the device read back.
    bool WriteToDevice();

    // Finds the device by its MAC and reads its network settings, as the address wizard does
    // before it offers them for change; false when it is not found or does not answer.
    bool ReadNetworkSettings(const TMACAddress& MAC, TNetworkSettings& Settings);
    // The two steps of that, each in a communication window of its own, as the address wizard
    // takes them: find the device by its MAC (IP: its address as it reports it), then read the
    // network settings at that address. Nothing of the device on show changes.
    TStepOutcome SearchDevice(const TMACAddress& MAC, std::string& IP);
    TStepOutcome ReadNetworkSettingsAt(const std::string& IP, TNetworkSettings& Settings);
    // Gives the device MAC the new address, directly or through a temporary ARP entry.
    TAssignResult AssignAddress(const TMACAddress& MAC, const std::string& NewIP,
                                std::uint32_t Mask, const std::string& Gateway);
    // After an assignment: waits for the device to answer by its MAC and reads it; NotFound is
    // the notice when it does not come back.
    bool ReadAssignedDevice(const TMACAddress& MAC, const TMessage& NotFound);
    // The set-IP command once the wizard gave MAC its new address: unless MAC is the device on
    // show, asks whether to set that device up (No ends it); then waits for it and reads it.
    bool ContinueSetIP(const TMACAddress& MAC);

private:
    struct TWindow {
        std::unique_ptr<TDataSenderView> View;
        std::unique_ptr<TfDataSender> Sender;
        TWindow() = default;
        TWindow(TWindow&&) = default;
        TWindow& operator=(TWindow&&) = default;
        ~TWindow();
    };

    // Runs Body as a command: Stopped, at once, while another command runs or after the view
    // asked to stop.
    template <typename TResult, typename TBody>
    TResult RunCommand(TResult Stopped, TBody&& Body);

    TWindow OpenWindow() const;
    TStepOutcome Search(const TMACAddress& MAC, std::string& IP);
    TStepOutcome ReadSettingsAt(const std::string& IP, TNetworkSettings& Settings);
    // Forgets what was read from the last device, so none of it reaches the next one.
    void ForgetDevice(std::uint32_t IP, const TMACAddress& MAC);
    bool FindAndMaybeRead(std::uint32_t IP, TfDataSender* Window, const TMACAddress& MAC, bool Read);
    bool LocateDevice(TfDataSender& Sender);
    void ReportFailedRead(TfDataSender& Sender);
    bool ConfirmAddress();
    TWriteCount WriteRecords(TfDataSender* Window);
    bool WriteAndReadBack();
    TAssignResult Assign(const TMACAddress& MAC, const std::string& NewIP, std::uint32_t Mask,
                         const std::string& Gateway);
    bool ReadBackAssigned(const TMACAddress& MAC, const TMessage& NotFound);
    bool WaitAndReadBack(TWindow& Window, const TMACAddress& MAC, const TMessage& NotFound);
    TMessageAnswer Ask(const TMessage& Caption, const std::string& Text, TMessageIcon Icon);

    TMessageBoxView& FMainView;
    TViewFactory FCreateView;
    bool FBusy = false;
    bool FCancelled = false;
    // The address the last search found the device at, when datagrams there reach another
    // device too: its settings are not read there.
    std::string FUnreadableAddress;
};

} // namespace qubra
