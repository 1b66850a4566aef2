#include "control/DeviceController.h"

#include <algorithm>

#include "conversation/ScopeGuards.h"
#include "i18n/Language.h"
#include "model/Conversions.h"
#include "net/ARPManager.h"

namespace qubra {

namespace {

constexpr const char* kOK = "OK";
// The setup record's own field, as the network page shows it: a mapping may name another
// record with a field of that name first.
constexpr const char* kAddressField = "SetupRecord0.unit_ip";

} // namespace

TDeviceController::TWindow::~TWindow()
{
    if (Sender)
        Sender->Close();
}

TDeviceController::TDeviceController(TDataManager& DataManager, TMessageBoxView& MainView,
                                     TViewFactory CreateView)
    : DataManager(DataManager), FMainView(MainView), FCreateView(std::move(CreateView))
{
}

template <typename TResult, typename TBody>
TResult TDeviceController::RunCommand(TResult Stopped, TBody&& Body)
{
    if (FBusy)
        return Stopped;
    TTemporaryValue<bool> busy(FBusy, true);
    FCancelled = false;
    if (OnCommand)
        OnCommand();
    try {
        return Body();
    } catch (const EOperationCancelled&) {
        // The engine has cleaned up on the way here; the windows close as their owners go.
        FCancelled = true;
        return Stopped;
    }
}

TDeviceController::TWindow TDeviceController::OpenWindow() const
{
    TWindow window;
    window.View = FCreateView();
    window.Sender = std::make_unique<TfDataSender>(*window.View, &DataManager);
    Link.ApplyTo(*window.Sender);
    return window;
}

TMessageAnswer TDeviceController::Ask(const TMessage& Caption, const std::string& Text,
                                      TMessageIcon Icon)
{
    return FMainView.MessageBox(
        {GetText(Caption), Text, TMessageButtons::YesNo, Icon, TMessageAnswer::No});
}

bool TDeviceController::FindAndReadDevice(std::uint32_t IP, TfDataSender* Window,
                                          const TMACAddress& MAC)
{
    return RunCommand(false, [&] { return FindAndMaybeRead(IP, Window, MAC, true); });
}

bool TDeviceController::FindDevice(std::uint32_t IP, const TMACAddress& MAC)
{
    return RunCommand(false, [&] { return FindAndMaybeRead(IP, nullptr, MAC, false); });
}

bool TDeviceController::FindByIP(std::uint32_t IP)
{
    return RunCommand(false, [&] {
        DeviceIP = LastSearchIP = IP;
        return FindAndMaybeRead(IP, nullptr, {}, true);
    });
}

bool TDeviceController::FindByMAC(const TMACAddress& MAC)
{
    return RunCommand(false, [&] {
        DeviceMAC = LastSearchMAC = MAC;
        return FindAndMaybeRead(0, nullptr, MAC, true);
    });
}

bool TDeviceController::LoadFromDevice()
{
    return RunCommand(false, [&] { return FindAndMaybeRead(0, nullptr, DeviceMAC, true); });
}

bool TDeviceController::RestoreDefaults()
{
    return RunCommand(false, [&] {
        DataManager.ApplyDefaults();
        return true;
    });
}

void TDeviceController::ForgetDevice(std::uint32_t IP, const TMACAddress& MAC)
{
    DeviceLoaded = false;
    DeviceMAC = MAC;
    DeviceIP = IP;
    for (int i = 0; i < DataManager.PacketCount(); ++i)
        if (TDataPacket* record = DataManager.GetPacket(i); record->PacketType() == ptSetup)
            record->ResetData();
}

bool TDeviceController::FindAndMaybeRead(std::uint32_t IP, TfDataSender* Window,
                                         const TMACAddress& MAC, bool Read)
{
    ForgetDevice(IP, MAC);
    if (IsZeroMAC(MAC) && IP == 0)
        return false;

    TWindow created;
    if (!Window) {
        created = OpenWindow();
        Window = created.Sender.get();
    }
    bool result = false;
    try {
        if (!LocateDevice(*Window))
            return false;
        if (!Read)
            return true;
        Window->CloseSocket();
        Window->QueryRecords(IPToStr(DeviceIP));
        DeviceLoaded = result = Window->AnsweredCount >= Window->RequestedCount;
        if (!result)
            ReportFailedRead(*Window);
    } catch (const std::exception& error) {
        Window->ShowNotice(error.what(), kOK, TMessageIcon::Error);
    }
    return result;
}

// Fills in the unknown one of DeviceMAC and DeviceIP; false (after a notice) when it fails.
bool TDeviceController::LocateDevice(TfDataSender& Sender)
{
    if (IsZeroMAC(DeviceMAC)) {
        Sender.CloseSocket();
        const std::string mac = Sender.SearchByIP(IPToStr(DeviceIP), "", false);
        if (mac.empty()) {
            Sender.ShowNotice(GetText(msgZarizeniNebylo1), kOK, TMessageIcon::Error);
            return false;
        }
        if (!StrToMAC(mac, DeviceMAC.data())) {
            Sender.ShowNotice(GetText(msgChybnaMACAdres), kOK, TMessageIcon::Error);
            return false;
        }
    } else if (DeviceIP == 0) {
        const std::string ip = Sender.SearchByMAC(MACToStr(DeviceMAC), "", false);
        if (ip.empty()) {
            Sender.ShowNotice(GetText(msgZarizeniNebylo2), kOK, TMessageIcon::Error);
            return false;
        }
        if (!TARPManager::IsIPText(ip)) {
            Sender.ShowNotice(GetText(msgChybnaIPAdresa), kOK, TMessageIcon::Error);
            return false;
        }
        Sender.CheckDeviceReachable(ip, DeviceMAC);
        DeviceIP = StrToIP(ip);
    }
    return true;
}

void TDeviceController::ReportFailedRead(TfDataSender& Sender)
{
    if (ARPManager().IsLocalAddress(DeviceIP))
        Sender.ShowNotice(GetText(msgKomunikaceSeZa), kOK, TMessageIcon::Warning);
    else
        Sender.ShowNotice(GetText(msgKomunikaceSeZa0) + "\r\n" + GetText(msgPravdepodobnouP) +
                              IPToStr(DeviceIP) + ")",
                          kOK, TMessageIcon::Warning);
}

TWriteCount TDeviceController::WriteDevice(TfDataSender* Window)
{
    return RunCommand(TWriteCount{}, [&] { return WriteRecords(Window); });
}

TWriteCount TDeviceController::WriteRecords(TfDataSender* Window)
{
    TWriteCount count;
    if (!DeviceLoaded || IsZeroMAC(DeviceMAC))
        return count;

    TWindow created;
    if (!Window) {
        created = OpenWindow();
        Window = created.Sender.get();
    }
    try {
        Window->CloseSocket();
        const std::string ip = Window->SearchByMAC(MACToStr(DeviceMAC), "", false);
        if (ip.empty()) {
            Window->ShowNotice(GetText(msgZarizeniNebylo3), kOK, TMessageIcon::Warning);
            return count;
        }
        if (!TARPManager::IsIPText(ip)) {
            Window->ShowNotice(GetText(msgChybnaIPAdresa0), kOK, TMessageIcon::Error);
            return count;
        }
        Window->CheckDeviceReachable(ip, DeviceMAC);
        DeviceIP = StrToIP(ip);
        Window->CloseSocket();
        Window->SendRecords(IPToStr(DeviceIP));
        count.Success = Window->AnsweredCount >= Window->RequestedCount;
        count.Sent = Window->RequestedCount;
        count.Confirmed = Window->AnsweredCount;
        DeviceLoaded = count.Success;
    } catch (const std::exception& error) {
        Window->ShowNotice(error.what(), kOK, TMessageIcon::Error);
        count.Success = false;
    }
    return count;
}

// The subnet and conflict questions about the address the record gives the device.
bool TDeviceController::ConfirmAddress()
{
    const TItemValue address = DataManager.GetValue(kAddressField);
    const std::uint32_t ip = address.IsNull() ? 0 : StrToIP(address.AsText());
    TARPManager& arp = ARPManager();
    if (ip != 0 && !arp.IsLocalAddress(ip) &&
        Ask(msgVarovani,
            GetText(msgIPAdresaKtero) + IPToStr(ip) + GetText(msgNeprislusiSte) + "\r\n" +
                GetText(msgChceteJiPresto),
            TMessageIcon::Warning) != TMessageAnswer::Yes)
        return false;

    TPhysAddr station{};
    if (!arp.ResolveMAC(ip, station))
        return true;
    const TMACAddress answered = MACOfAnswer(station);
    if (IsZeroMAC(answered) || answered == DeviceMAC)
        return true;
    // Not a new address taken by another station: the write itself would reach that station.
    if (ip == DeviceIP)
        throw Exception(SharedAddressText(IPToStr(ip), DeviceMAC, {answered}));
    return Ask(msgVarovani0,
               GetText(msgIPAdresa) + IPToStr(ip) + GetText(msgJizJePrirazen) +
                   MACToStr(answered) + GetText(msgAMohloByDoj) + "\r\n" +
                   GetText(msgChcetePrestoPo),
               TMessageIcon::Question) == TMessageAnswer::Yes;
}

bool TDeviceController::WriteToDevice()
{
    return RunCommand(false, [&] { return WriteAndReadBack(); });
}

bool TDeviceController::WriteAndReadBack()
{
    TWriteCount count;
    try {
        if (!ConfirmAddress())
            return false;
        count = WriteRecords(nullptr);
    } catch (const std::exception& error) {
        FMainView.MessageBox({"ZAN", error.what(), TMessageButtons::OK, TMessageIcon::Error,
                              TMessageAnswer::OK});
        return false;
    }

    TWindow window = OpenWindow();
    try {
        if (!count.Success)
            window.Sender->ShowNoticeWindow(
                GetText(count.Confirmed == 0 ? msgNastaveniZarize : msgNastaveniZarize0), kOK,
                TMessageIcon::Warning);
        return WaitAndReadBack(window, DeviceMAC, msgZarizeniNebylo4) && count.Success;
    } catch (const std::exception& error) {
        window.Sender->ShowNotice(error.what(), kOK, TMessageIcon::Error);
        return false;
    }
}

bool TDeviceController::WaitAndReadBack(TWindow& Window, const TMACAddress& MAC,
                                        const TMessage& NotFound)
{
    const std::string found = Window.Sender->WaitForDevice(MACToStr(MAC));
    if (found.empty()) {
        Window.Sender->ShowNotice(GetText(NotFound), kOK, TMessageIcon::Warning);
        DeviceLoaded = false;
        return false;
    }
    Window.Sender->Close();
    return FindAndMaybeRead(0, nullptr, MAC, true);
}

bool TDeviceController::ReadNetworkSettings(const TMACAddress& MAC, TNetworkSettings& Settings)
{
    return RunCommand(false, [&] {
        std::string ip;
        return Search(MAC, ip) == TStepOutcome::Done &&
               ReadSettingsAt(ip, Settings) == TStepOutcome::Done;
    });
}

TStepOutcome TDeviceController::SearchDevice(const TMACAddress& MAC, std::string& IP)
{
    return RunCommand(TStepOutcome::Failed, [&] { return Search(MAC, IP); });
}

TStepOutcome TDeviceController::ReadNetworkSettingsAt(const std::string& IP, TNetworkSettings& Settings)
{
    return RunCommand(TStepOutcome::Failed, [&] { return ReadSettingsAt(IP, Settings); });
}

TStepOutcome TDeviceController::Search(const TMACAddress& MAC, std::string& IP)
{
    TWindow window = OpenWindow();
    try {
        IP = window.Sender->SearchByMAC(MACToStr(MAC), "", false);
        FUnreadableAddress.clear();
        if (IP.empty())
            return TStepOutcome::NotDone;
        try {
            window.Sender->CheckDeviceReachable(IP, MAC);
        } catch (const Exception&) {
            // Found all the same: giving it an address of its own is the way on.
            FUnreadableAddress = IP;
        }
        return TStepOutcome::Done;
    } catch (const std::exception& error) {
        window.Sender->ShowNotice(error.what(), kOK, TMessageIcon::Error);
        return TStepOutcome::Failed;
    }
}

TStepOutcome TDeviceController::ReadSettingsAt(const std::string& IP, TNetworkSettings& Settings)
{
    // What answers there would be another device's settings.
    if (!FUnreadableAddress.empty() && IP == FUnreadableAddress)
        return TStepOutcome::NotDone;
    TWindow window = OpenWindow();
    try {
        // The device reports its own address, which may be written otherwise than searched.
        std::string ip = IP;
        std::string gateway;
        std::uint32_t mask = 0;
        if (!window.Sender->ReadNetworkSettings(ip, gateway, mask))
            return TStepOutcome::NotDone;
        Settings = {ip, mask, gateway};
        return TStepOutcome::Done;
    } catch (const std::exception& error) {
        window.Sender->ShowNotice(error.what(), kOK, TMessageIcon::Error);
        return TStepOutcome::Failed;
    }
}

TAssignResult TDeviceController::AssignAddress(const TMACAddress& MAC, const std::string& NewIP,
                                               std::uint32_t Mask, const std::string& Gateway)
{
    return RunCommand(TAssignResult{TAssignOutcome::Cancelled},
                      [&] { return Assign(MAC, NewIP, Mask, Gateway); });
}

TAssignResult TDeviceController::Assign(const TMACAddress& MAC, const std::string& NewIP,
                                        std::uint32_t Mask, const std::string& Gateway)
{
    TWindow window = OpenWindow();
    TAssignResult result;
    try {
        result.Outcome = window.Sender->AssignIP(MACToStr(MAC), NewIP, Mask, Gateway)
                             ? TAssignOutcome::Assigned
                             : TAssignOutcome::NotAssigned;
        if (!window.Sender->AssignmentLeftover.empty())
            window.Sender->ShowNotice(window.Sender->AssignmentLeftover, kOK, TMessageIcon::Warning);
    } catch (const std::exception& error) {
        result.Outcome = TAssignOutcome::Failed;
        window.Sender->ShowNotice(error.what(), kOK, TMessageIcon::Error);
    }
    result.DeviceAnswered = window.Sender->DeviceAnswered;
    return result;
}

bool TDeviceController::ReadAssignedDevice(const TMACAddress& MAC, const TMessage& NotFound)
{
    return RunCommand(false, [&] { return ReadBackAssigned(MAC, NotFound); });
}

bool TDeviceController::ContinueSetIP(const TMACAddress& MAC)
{
    return RunCommand(false, [&] {
        // The device on show needs no question; the keys tell the two cases apart in translations.
        if (MAC == DeviceMAC && DeviceLoaded)
            return ReadBackAssigned(MAC, msgZarizeniNebyloFullStop);
        // Nothing is changed by the answer, so Yes is the default.
        if (FMainView.MessageBox({"", GetText(msgChceteTotoZari), TMessageButtons::YesNo,
                                  TMessageIcon::Question, TMessageAnswer::Yes}) != TMessageAnswer::Yes)
            return false;
        return ReadBackAssigned(MAC, msgZarizeniNebylo0FullStop);
    });
}

bool TDeviceController::ReadBackAssigned(const TMACAddress& MAC, const TMessage& NotFound)
{
    TWindow window = OpenWindow();
    try {
        return WaitAndReadBack(window, MAC, NotFound);
    } catch (const std::exception& error) {
        window.Sender->ShowNotice(error.what(), kOK, TMessageIcon::Error);
        return false;
    }
}

} // namespace qubra
