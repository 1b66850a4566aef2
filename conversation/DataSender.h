#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "conversation/DataSenderView.h"
#include "conversation/WaitCycles.h"
#include "i18n/Messages.h"
#include "model/Conversions.h"
#include "model/DataManager.h"
#include "model/DataPacket.h"
#include "net/MySocket.h"

namespace qubra {

// One device that answered a broadcast search: its MAC and the address it answered from.
struct TSearchAnswer {
    std::string MAC;
    std::string IP;
};

// The refusal of an exchange with the device MAC at IPText, where Others answer as well: it names
// them all and tells how to go on.
std::string SharedAddressText(const std::string& IPText, const TMACAddress& MAC,
                              const std::vector<TMACAddress>& Others);

// One conversation with a device over UDP: reading and writing the setup records, searching a
// device by IP or MAC, reading and assigning its network settings, and the notice reporting
// the outcome. Everything shown or asked goes through the view. Runs on the main thread.
class TfDataSender {
public:
    static constexpr std::uint16_t kDefaultDevicePort = 30718;
    static constexpr std::int32_t kDefaultAnswerTimeout = 3500;
    // The answer time-out while a device is searched for again after a write or an assignment.
    static constexpr std::int32_t kReturnAnswerTimeout = 1000;
    // Searches made while waiting for a device to come back.
    static constexpr int kReturnAttempts = 13;

    // DataManager may be nullptr: the record loops then do nothing, the searches and the
    // address assignment use their built-in records.
    TfDataSender(TDataSenderView& View, TDataManager* DataManager);
    // Closes the socket, then raises OnDestroy.
    ~TfDataSender();
    TfDataSender(const TfDataSender&) = delete;
    TfDataSender& operator=(const TfDataSender&) = delete;

    TDataManager* DataManager;
    // Dotted address of the device, in the form IPToStr gives: answers are matched against it.
    std::string TargetIP;
    std::uint16_t DevicePort = kDefaultDevicePort;
    // Where the searches by MAC broadcast to.
    std::string BroadcastIP = "255.255.255.255";
    // Milliseconds; every wait derives its number of cycles from it.
    std::int32_t AnswerTimeout = kDefaultAnswerTimeout;
    // Records asked for or sent, and answers or confirmations counted, by the last record loop.
    std::int32_t RequestedCount = 0;
    std::int32_t AnsweredCount = 0;
    // The device answered the last search or address assignment.
    bool DeviceAnswered = false;
    // Other devices that answered the last SearchByMAC from the address it found.
    std::vector<TMACAddress> SharedAddressMACs;
    // Set by an assignment that succeeded although its temporary entry could not be cleared
    // afterwards: the problem to report beside the success.
    std::string AssignmentLeftover;
    // Where the waits take their deadlines from; tests give a clock of their own.
    TWaitClock Clock = std::chrono::steady_clock::now;
    TMySocket MySock;

    // Raised while the engine is destroyed.
    std::function<void(TfDataSender&)> OnDestroy;

    TDataSenderView& View() const { return FView; }
    // Closes the socket and the window; later calls have no further effect.
    void Close();
    bool Closed() const { return FClosed; }

    void CloseSocket();
    void SetSearchMode();
    void SetExchangeMode(const std::string& IPText);

    // Asks for one record; with Wait, waits for the answer and takes it in. Never raises.
    bool QueryRecord(TDataPacket* Record, bool Wait, bool ShowProgress);
    // Sends one record with its set header; does not wait. Never raises.
    void SetRecord(TDataPacket* Record);
    // Reads every setup record; the number answered.
    int QueryRecords(const std::string& IPText);
    // Writes every setup record read from the device; the number of confirmations.
    int SendRecords(const std::string& IPText);

    // Shows Text (empty keeps the status) with the picture of Icon and one button, modally;
    // the window closes once the button is pressed.
    void ShowNotice(const std::string& Text, const std::string& ButtonCaption, TMessageIcon Icon);
    // The same in a separate window of its own, without data manager.
    void ShowNoticeWindow(const std::string& Text, const std::string& ButtonCaption,
                          TMessageIcon Icon);

    // An empty Caption shows the default status; KeepConnection uses the socket as it is.
    std::string SearchByIP(const std::string& IPText, const std::string& Caption = "",
                           bool KeepConnection = false);
    std::string SearchByMAC(const std::string& MACText, const std::string& Caption = "",
                            bool KeepConnection = false);
    std::string WaitForDevice(const std::string& MACText, const std::string& Caption = "");
    // Raises, before anything is sent, when datagrams to IPText would not reach the device MAC:
    // another device answered the last SearchByMAC from that address too, or the station the
    // host resolves the address to has another MAC.
    void CheckDeviceReachable(const std::string& IPText, const TMACAddress& MAC);
    // One search broadcast to BroadcastIP (from MySock's LocalIP when set); every device that
    // answers within one answer time-out, once each, in the order they answered. OnAnswer,
    // when set, gets each new device as soon as its answer arrives.
    std::vector<TSearchAnswer> SearchAll(
        const std::string& Caption = "",
        const std::function<void(const TSearchAnswer&)>& OnAnswer = nullptr);
    // Mask is a netmask in network order; the parameters change only on success.
    bool ReadNetworkSettings(std::string& IPText, std::string& GatewayText, std::uint32_t& Mask);
    bool SendSetIP(const std::string& TargetIPText, const std::string& NewIPText, bool SkipQuery,
                   bool Wait, std::uint32_t Mask, const std::string& GatewayText);
    bool AssignIP(const std::string& MACText, const std::string& NewIPText, std::uint32_t Mask,
                  const std::string& GatewayText);

private:
    // Examines one received packet; true when it is the match that ends the draining.
    using TPacketCheck = std::function<bool(const TMyPacket&)>;

    // The view's Pump or KeepAlive, after which the operation ends with EOperationCancelled
    // when the view asked to stop.
    void Pump();
    void KeepAlive();
    // Waits until Deadline, storing the datagrams that arrive; keeps the view alive meanwhile.
    // AfterSlice, when set, runs after each slice of the wait, before the keep-alive.
    void WaitUntil(TWaitTime Deadline, const std::function<void()>& AfterSlice = nullptr);
    // Runs Work, a blocking call of the address resolution, on a helper thread while this
    // thread keeps the view alive; its result or error comes back here. A stop asked for
    // meanwhile takes effect once Work has returned.
    template <typename TWork>
    auto KeepAliveDuring(TWork&& Work) -> decltype(Work());

    void Show(const std::string& Status);
    void ShowProgress(int Position, const std::string& Status);
    TMessageAnswer Ask(const std::string& Caption, const std::string& Text, TMessageIcon Icon,
                       TMessageAnswer DefaultButton);

    // Cycles of CycleMs, at most MaxCycles, each followed by draining the receive queue and by
    // Cycled, which tells whether the wait is over. The cycles end on the deadlines that
    // RunCycles sets. Finished true runs no cycle at all. DrainInSlices also drains whenever
    // the wait wakes within a cycle, so that answers are taken in as they arrive.
    void AwaitAnswers(int CycleMs, int MaxCycles, const TPacketCheck& Check,
                      const std::function<bool()>& Cycled, bool Finished = false,
                      bool DrainInSlices = false);
    bool FromDevice(const TMyPacket& Packet) const;

    void AimAtDevice();
    void ConnectAfresh();
    void ConnectForSearch();
    // Closes an open socket, then binds it anew with BroadcastIP and the device port as its peer.
    void BindForBroadcast();
    // The status of a search; starts the animation. The search pumps once as it begins.
    void ShowSearchStatus(const std::string& Status);
    // Pumps, sends the search request to the socket's peer and hands every datagram of the
    // following search cycles to Answer with the search record; stops early when Answer returns
    // true. Afterwards broadcasts are no longer accepted and the animation stops, however it
    // ended. After the answer that ends it, ExtraCycles more cycles let other devices that
    // answered too reach Answer. Streaming hands the datagrams over as they arrive, not only at
    // each cycle's end.
    void RunBroadcastSearch(const std::function<bool(TDataPacket&, const TMyPacket&)>& Answer,
                            int ExtraCycles = 0, bool Streaming = false);
    // The MAC of the station that datagrams to IPText reach, as the host resolves it; false
    // when none answers or the address is resolved through a gateway.
    bool ResolveStation(const std::string& IPText, TMACAddress& MAC);
    std::vector<TDataPacket*> SetupRecords() const;
    int CountReceived(const std::vector<TDataPacket*>& Records) const;
    bool AcceptQueryAnswer(const TMyPacket& Packet);
    bool IsSetConfirmation(const TMyPacket& Packet) const;

    bool AssignThroughARP(const TMACAddress& WantedMAC, const std::string& NewIPText,
                          std::uint32_t NewIP, std::uint32_t Mask, const std::string& GatewayText,
                          bool Found);
    // The set-IP requests to the new address, which the temporary entry leads to WantedMAC,
    // then the wait for the device to answer there.
    bool SendThroughEntry(const TMACAddress& WantedMAC, const std::string& NewIPText,
                          std::uint32_t Mask, const std::string& GatewayText);
    // With ThroughEntry a station that answers for NewIP ends the assignment with an error.
    bool ConfirmNoConflict(std::uint32_t NewIP, const TMACAddress& WantedMAC, bool ThroughEntry);

    TDataSenderView& FView;
    bool FClosed = false;
};

} // namespace qubra
