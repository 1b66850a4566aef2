#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "conversation/DataSender.h"
#include "i18n/Messages.h"
#include "model/Conversions.h"
#include "model/DataManager.h"

namespace qubra {

// Where the communication windows find the devices and how long they wait for answers.
struct TLinkSettings {
    std::uint16_t DevicePort = TfDataSender::kDefaultDevicePort;
    std::string BroadcastIP = "255.255.255.255";
    std::int32_t AnswerTimeout = TfDataSender::kDefaultAnswerTimeout;
};

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

// The outcome of an address assignment.
struct TAssignResult {
    bool Assigned = false;
    // The device answered during the attempt (found, or it confirmed).
    bool DeviceAnswered = false;
};

// The commands of the main window on the device being set up: find and read it, write it with
// the subnet and conflict warnings, wait for it and read it back, restore the defaults, give it
// a new address. Each exchange runs in a communication window of its own, made with a view
// from CreateView; the main window's own questions go to MainView. Shows and asks nothing else.
class TDeviceController {
public:
    using TViewFactory = std::function<std::unique_ptr<TDataSenderView>()>;

    TDeviceController(TDataManager& DataManager, TDataSenderView& MainView, TViewFactory CreateView);

    TDataManager& DataManager;
    TLinkSettings Link;
    // The setup records of the current device were read completely.
    bool DeviceLoaded = false;
    // All zero: none.
    TMACAddress DeviceMAC{};
    // First octet in the low byte; 0: none.
    std::uint32_t DeviceIP = 0;
    std::uint32_t LastSearchIP = 0;
    TMACAddress LastSearchMAC{};

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
    // Puts the default value into every field that has one; nothing is sent.
    void RestoreDefaults();

    // Sends the records read from the device, found again by its MAC.
    TWriteCount WriteDevice(TfDataSender* Window);
    // The write command on the record as it stands: asks when the record's address lies
    // outside the host's subnets or belongs to another station, writes, waits for the device by
    // its MAC and reads it back. True when every record was confirmed and the device read back.
    bool WriteToDevice();

    // Finds the device by its MAC and reads its network settings, as the address wizard does
    // before it offers them for change; false when it is not found or does not answer.
    bool ReadNetworkSettings(const TMACAddress& MAC, TNetworkSettings& Settings);
    // Gives the device MAC the new address, directly or through a temporary ARP entry.
    TAssignResult AssignAddress(const TMACAddress& MAC, const std::string& NewIP,
                                std::uint32_t Mask, const std::string& Gateway);
    // After an assignment: waits for the device to answer by its MAC and reads it; NotFound is
    // the notice when it does not come back.
    bool ReadAssignedDevice(const TMACAddress& MAC, const TMessage& NotFound);

private:
    struct TWindow {
        std::unique_ptr<TDataSenderView> View;
        std::unique_ptr<TfDataSender> Sender;
        TWindow() = default;
        TWindow(TWindow&&) = default;
        TWindow& operator=(TWindow&&) = default;
        ~TWindow();
    };

    TWindow OpenWindow() const;
    // Forgets what was read from the last device, so none of it reaches the next one.
    void ForgetDevice(std::uint32_t IP, const TMACAddress& MAC);
    bool FindAndMaybeRead(std::uint32_t IP, TfDataSender* Window, const TMACAddress& MAC, bool Read);
    bool LocateDevice(TfDataSender& Sender);
    void ReportFailedRead(TfDataSender& Sender);
    bool ConfirmAddress();
    bool WaitAndReadBack(TWindow& Window, const TMACAddress& MAC, const TMessage& NotFound);
    TMessageAnswer Ask(const TMessage& Caption, const std::string& Text, TMessageIcon Icon);

    TDataSenderView& FMainView;
    TViewFactory FCreateView;
};

} // namespace qubra
