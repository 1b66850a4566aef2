#include "conversation/DataSender.h"

#include <algorithm>

#include "i18n/Language.h"

namespace qubra {

TfDataSender::TfDataSender(TDataSenderView& View, TDataManager* DataManager)
    : DataManager(DataManager), FView(View)
{
    MySock.SetSocketType(stUDP);
    MySock.SetSendThread(true);
    MySock.SetReceiveThread(false);
    MySock.SetBroadCastAccept(false);
    MySock.SetRaisingSocketErrors(true);
    MySock.SetLocalPort(0);
    MySock.SetRemotePort(0);
    MySock.SetWakeUpHandle(FView.WakeUpHandle());
    FView.SetCaption(GetText(msgKomunikace));
}

TfDataSender::~TfDataSender()
{
    MySock.Close();
    if (OnDestroy)
        OnDestroy(*this);
}

void TfDataSender::Close()
{
    if (FClosed)
        return;
    FClosed = true;
    CloseSocket();
    FView.Close();
}

void TfDataSender::CloseSocket()
{
    MySock.Close();
}

void TfDataSender::SetSearchMode()
{
    FView.SetLook(TSenderLook::Search);
    MySock.SetRemotePort(DevicePort);
    MySock.SetReceiveThread(false);
    MySock.SetBroadCastAccept(true);
}

void TfDataSender::SetExchangeMode(const std::string& IPText)
{
    FView.SetLook(TSenderLook::Exchange);
    FView.SetPosition(0);
    if (!IPText.empty()) {
        TargetIP = IPText;
        MySock.SetRemoteIP(IPText);
    }
    MySock.SetRemotePort(DevicePort);
    MySock.SetReceiveThread(false);
    MySock.SetBroadCastAccept(false);
}

void TfDataSender::Pump()
{
    FView.Pump();
    if (FView.CancelRequested())
        throw EOperationCancelled{};
}

void TfDataSender::KeepAlive()
{
    FView.KeepAlive();
    if (FView.CancelRequested())
        throw EOperationCancelled{};
}

void TfDataSender::WaitUntil(TWaitTime Deadline, const std::function<void()>& AfterSlice)
{
    // Half the allowed gap leaves room for the draining and the keep-alive call itself. A wait
    // that the view's wake-up descriptor ends early goes straight to the keep-alive, which
    // ends the operation when the view asked to stop.
    WaitInSlices(Clock, Deadline, TDataSenderView::kKeepAliveMs / 2, [&](int Ms) {
        MySock.WaitForData(Ms, true);
        if (AfterSlice)
            AfterSlice();
        KeepAlive();
    });
}

void TfDataSender::Show(const std::string& Status)
{
    FView.SetStatus(Status);
    Pump();
}

void TfDataSender::ShowProgress(int Position, const std::string& Status)
{
    FView.SetPosition(Position);
    Show(Status);
}

TMessageAnswer TfDataSender::Ask(const std::string& Caption, const std::string& Text,
                                 TMessageIcon Icon, TMessageAnswer DefaultButton)
{
    return FView.MessageBox({Caption, Text, TMessageButtons::YesNo, Icon, DefaultButton});
}

void TfDataSender::AwaitAnswers(int CycleMs, int MaxCycles, const TPacketCheck& Check,
                                const std::function<bool()>& Cycled, bool Finished,
                                bool DrainInSlices)
{
    if (Finished)
        return;
    const auto drain = [&] {
        TMyPacket packet;
        while (MySock.ReceiveQueue().Pop(packet)) {
            if (Check(packet))
                break;  // the packets behind a match wait for the next cycle or request
        }
    };
    const std::function<void()> afterSlice = DrainInSlices ? std::function<void()>(drain) : nullptr;
    RunCycles(Clock, CycleMs, MaxCycles, [&](TWaitTime End) { WaitUntil(End, afterSlice); }, [&] {
        drain();
        return Cycled();
    });
}

bool TfDataSender::FromDevice(const TMyPacket& Packet) const
{
    return Packet.IP == TargetIP && !Packet.Data.empty();
}

void TfDataSender::AimAtDevice()
{
    MySock.SetRemoteIP(TargetIP);
    MySock.SetRemotePort(DevicePort);
    // A socket left bound by a broadcast search cannot be aimed at one device.
    if (MySock.Connected() && MySock.Bound())
        MySock.Close();
    if (!MySock.Connected())
        MySock.Connect(false);
}

void TfDataSender::ConnectAfresh()
{
    if (MySock.Connected())
        MySock.Close();
    MySock.SetRemoteIP(TargetIP);
    MySock.SetRemotePort(DevicePort);
    MySock.Connect(false);
}

std::vector<TDataPacket*> TfDataSender::SetupRecords() const
{
    std::vector<TDataPacket*> records;
    for (int i = 0; i < DataManager->PacketCount(); ++i) {
        TDataPacket* record = DataManager->GetPacket(i);
        if (record->PacketType() == ptSetup)
            records.push_back(record);
    }
    return records;
}

int TfDataSender::CountReceived(const std::vector<TDataPacket*>& Records) const
{
    return static_cast<int>(
        std::count_if(Records.begin(), Records.end(), [](TDataPacket* r) { return r->Received(); }));
}

bool TfDataSender::QueryRecord(TDataPacket* Record, bool Wait, bool ShowProgress)
{
    if (!Record)
        return false;
    bool result = false;
    try {
        if (ShowProgress)
            this->ShowProgress(1, GetText(msgPrijimamData));
        AimAtDevice();
        MySock.Send(Record->GetQueryRequest());
        if (ShowProgress) {
            FView.SetPosition(33);
            Pump();
        }
        if (Wait) {
            AwaitAnswers(
                kRecordCycleMs, CycleCount(AnswerTimeout, kRecordCycleMs, 1),
                [&](const TMyPacket& packet) {
                    result = FromDevice(packet) && Record->IsWholeAnswer(packet.Data) &&
                             Record->AcceptAnswer(packet.Data);
                    return result;
                },
                [&] { return result; });
        }
    } catch (const std::exception&) {
        // A request that failed to leave simply gets no answer.
        result = false;
    }
    if (ShowProgress) {
        FView.SetPosition(result ? 100 : 20);
        Pump();
    }
    return result;
}

void TfDataSender::SetRecord(TDataPacket* Record)
{
    if (!Record)
        return;
    try {
        AimAtDevice();
        MySock.Send(Record->GetSetRequest());
    } catch (const std::exception&) {
        // The missing confirmation shows it.
    }
}

// Only a query answer is taken in: a set answer left over from a write must not overwrite a
// record that is being read. A short answer is not taken either: the record would count as
// read with bytes the device never sent.
bool TfDataSender::AcceptQueryAnswer(const TMyPacket& Packet)
{
    if (!FromDevice(Packet))
        return false;
    TDataPacket* record = DataManager->GetPacket(DataManager->IndexOfAnswer(Packet.Data, ptSetup));
    return record && record->IsWholeAnswer(Packet.Data) && record->AcceptAnswer(Packet.Data);
}

// Only a set answer confirms a write: a query answer left over from a read must not be
// counted as a record stored.
bool TfDataSender::IsSetConfirmation(const TMyPacket& Packet) const
{
    if (!FromDevice(Packet))
        return false;
    const TDataPacket* record =
        DataManager->GetPacket(DataManager->IndexOfAnswer(Packet.Data, ptSetup));
    return record && record->KindOf(Packet.Data) == hkSetAnswer;
}

int TfDataSender::QueryRecords(const std::string& IPText)
{
    SetExchangeMode(IPText);
    if (!DataManager)
        return 0;
    const std::vector<TDataPacket*> records = SetupRecords();
    const int n = static_cast<int>(records.size());
    for (TDataPacket* record : records)
        record->SetReceived(false);

    ConnectAfresh();
    RequestedCount = n;
    const std::string of = std::to_string(n);
    for (int k = 0; k < n; ++k) {
        ShowProgress(ProgressPercent(k, n),
                     k == 0 ? GetText(msgPredavamPozadav)
                            : GetText(msgPredavamPozadav0) + std::to_string(k) + GetText(msgZ4) + of + "...");
        QueryRecord(records[k], false, false);
        MySock.WaitForData(1, false);
    }
    ShowProgress(ProgressPercent(n, n), GetText(msgPredavamPozadav1) + of + GetText(msgZ3) + of + "...");

    int got = 0;
    AwaitAnswers(
        kRecordCycleMs, CycleCount(AnswerTimeout, kRecordCycleMs, 2),
        [&](const TMyPacket& packet) {
            AcceptQueryAnswer(packet);
            return false;
        },
        [&] {
            got = CountReceived(records);
            ShowProgress(ProgressPercent(got, n),
                         std::to_string(got) + GetText(msgZ2) + of + GetText(msgZaznamuPrija));
            return got >= n;
        },
        n <= 0);
    AnsweredCount = got;
    return got;
}

int TfDataSender::SendRecords(const std::string& IPText)
{
    SetExchangeMode(IPText);
    if (!DataManager)
        return 0;
    std::vector<TDataPacket*> records = SetupRecords();
    std::erase_if(records, [](TDataPacket* r) { return !r->Received(); });
    const int n = static_cast<int>(records.size());

    ConnectAfresh();
    RequestedCount = n;
    AnsweredCount = 0;
    const std::string of = std::to_string(n);
    for (int k = 0; k < n; ++k) {
        ShowProgress(ProgressPercent(k, n),
                     k == 0 ? GetText(msgUkladaniDat)
                            : GetText(msgUkladamZaznamC) + std::to_string(k) + GetText(msgZ1) + of + "...");
        TDataPacket* record = records[k];
        record->WriteHeader(record->HeaderCode(hkSet));
        // 01 in header byte 1: more records of this batch follow.
        if (k < n - 1)
            record->SetHeaderByte(1, 0x01);
        SetRecord(record);
        MySock.WaitForData(1, false);
    }
    ShowProgress(ProgressPercent(n, n), GetText(msgUkladamZaznamC0) + of + GetText(msgZ0) + of + "...");

    // Counts datagrams, not records: a repeated confirmation counts again.
    int got = 0;
    AwaitAnswers(
        kRecordCycleMs, CycleCount(AnswerTimeout, kRecordCycleMs, 2),
        [&](const TMyPacket& packet) {
            if (IsSetConfirmation(packet))
                ++got;
            return false;
        },
        [&] {
            ShowProgress(ProgressPercent(std::min(got, n), n),
                         std::to_string(got) + GetText(msgZ) + of + GetText(msgZaznamuUlozeno));
            return got >= n;
        },
        n <= 0);
    if (got >= n)
        FView.SetStatus(n == 1 ? GetText(msgZaznamUlozen) : GetText(msgVsechnyZaznamy) + of + ")");
    AnsweredCount = got;
    return got;
}

void TfDataSender::ShowNotice(const std::string& Text, const std::string& ButtonCaption,
                              TMessageIcon Icon)
{
    if (!Text.empty())
        FView.SetStatus(Text);
    FView.SetAnimation(false);
    FView.SetLook(TSenderLook::Notice);
    FView.ShowNotice(ButtonCaption, Icon);
    Close();
}

void TfDataSender::ShowNoticeWindow(const std::string& Text, const std::string& ButtonCaption,
                                    TMessageIcon Icon)
{
    std::unique_ptr<TDataSenderView> view = FView.CreateNoticeView();
    TfDataSender notice(*view, nullptr);
    notice.ShowNotice(Text, ButtonCaption, Icon);
}

} // namespace qubra
