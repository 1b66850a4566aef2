#include "sim/TSimDevice.h"

#include <algorithm>

namespace qubra {

TSimDevice::TSimDevice(const TSimMAC& mac, std::uint32_t ip, const TSimKnobs& knobs)
    : MyMAC(mac), MyIP(ip), MyKnobs(knobs), Random(knobs.LossPattern)
{
    Records.push_back({kSimSetupRecord, SimDefaultSetupRecord(ip)});
}

std::vector<TSimAnswer> TSimDevice::Handle(const TBytes& data, const TSimPeer& from,
                                           std::uint32_t to, TSimClock::time_point now)
{
    std::lock_guard guard(Lock);
    if (now < RestartEnd)
        return {};
    Log.push_back({data, from, to, now});
    if (MyKnobs.Silent)
        return {};
    bool completed = false;
    std::uint32_t newIP = 0;
    const TBytes answer = AnswerFor(data, completed, newIP);
    if (answer.empty())
        return {};
    std::vector<TSimAnswer> answers = Schedule(answer, from, now);
    if (completed && MyKnobs.RestartMs >= 0) {
        RestartEnd = now + std::chrono::milliseconds(MyKnobs.AnswerDelayMs + MyKnobs.RestartMs);
        if (newIP != 0)
            MyIP = newIP;
        ++RestartCount;
    }
    return answers;
}

TBytes TSimDevice::AnswerFor(const TBytes& data, bool& completed, std::uint32_t& newIP)
{
    if (data.size() <= kSimCodeOffset)
        return {};
    const std::uint8_t code = data[kSimCodeOffset];
    if (code == kSimSearchQuery)
        return SearchAnswer();
    if (code == kSimSettingsRecord.Query)
        return SettingsAnswer(kSimSettingsRecord.Answer);
    if (code == kSimSettingsRecord.Set) {
        if (data.size() < kSimSettingsRecord.Size)
            return {};
        TBytes& setup = Records.front().Bytes;
        SimWriteIP(setup, kSimIPOffset, SimReadIP(data, kSimIPOffset));
        setup[kSimHostBitsOffset] = data[kSimHostBitsOffset];
        SimWriteIP(setup, kSimGatewayOffset, SimReadIP(data, kSimGatewayOffset));
        completed = true;
        newIP = SimReadIP(data, kSimIPOffset);
        return SettingsAnswer(kSimSettingsRecord.SetAnswer);
    }
    for (TStored& record : Records) {
        if (code == record.Codes.Query) {
            TBytes answer = WithCode(record.Bytes, record.Codes.Answer);
            // The code byte stays, so the answer is still recognised as one.
            const std::size_t keep = std::max<std::size_t>(MyKnobs.ShortAnswers, kSimCodeOffset + 1);
            if (MyKnobs.ShortAnswers > 0 && answer.size() > keep)
                answer.resize(keep);
            return answer;
        }
        if (code == record.Codes.Set) {
            // A truncated record is not taken: it would leave the device half written.
            if (data.size() < record.Codes.Size)
                return {};
            const TBytes old = record.Bytes;
            record.Bytes.assign(data.begin(), data.begin() + record.Codes.Size);
            const auto stale = static_cast<std::size_t>(MyKnobs.StaleByte);
            if (MyKnobs.StaleByte >= 0 && &record == &Records.front() && stale < old.size())
                record.Bytes[stale] = old[stale];
            completed = data[kSimBatchOffset] != 0x01;
            newIP = SimReadIP(Records.front().Bytes, kSimIPOffset);
            return WithCode(record.Bytes, record.Codes.SetAnswer);
        }
    }
    return {};
}

TBytes TSimDevice::WithCode(TBytes bytes, std::uint8_t code) const
{
    std::fill(bytes.begin(), bytes.begin() + kSimCodeOffset, 0);
    bytes[kSimCodeOffset] = code;
    return bytes;
}

TBytes TSimDevice::SearchAnswer() const
{
    TBytes answer(kSimSearchSize, 0);
    answer[kSimCodeOffset] = kSimSearchAnswer;
    SimWriteIP(answer, kSimIPOffset, MyIP);
    std::copy(MyMAC.begin(), MyMAC.end(), answer.begin() + kSimMACOffset);
    return answer;
}

TBytes TSimDevice::SettingsAnswer(std::uint8_t code) const
{
    TBytes answer = Records.front().Bytes;
    answer.resize(kSimSettingsRecord.Size, 0);
    return WithCode(std::move(answer), code);
}

std::vector<TSimAnswer> TSimDevice::Schedule(const TBytes& answer, const TSimPeer& to,
                                             TSimClock::time_point now)
{
    std::vector<TBytes> copies;
    if (MyKnobs.WrongCode != TSimWrongCode::None)
        copies.push_back(WithCode(answer, kSimWrongCode));
    if (MyKnobs.WrongCode != TSimWrongCode::Replace)
        copies.push_back(answer);

    std::uniform_real_distribution<double> chance(0.0, 1.0);
    const auto sendAt = now + std::chrono::milliseconds(MyKnobs.AnswerDelayMs);
    std::vector<TSimAnswer> answers;
    for (int round = 0; round <= std::max(0, MyKnobs.Duplicates); ++round)
        for (const TBytes& copy : copies) {
            const bool lost = MyKnobs.LossRate > 0 && chance(Random) < MyKnobs.LossRate;
            answers.push_back({copy, to, MyIP, sendAt, lost});
        }
    return answers;
}

std::uint32_t TSimDevice::IP() const
{
    std::lock_guard guard(Lock);
    return MyIP;
}

bool TSimDevice::Restarting(TSimClock::time_point now) const
{
    std::lock_guard guard(Lock);
    return now < RestartEnd;
}

bool TSimDevice::AnswersARP(TSimClock::time_point now) const
{
    std::lock_guard guard(Lock);
    return now >= RestartEnd && !MyKnobs.Silent && !MyKnobs.SilentToARP;
}

int TSimDevice::Restarts() const
{
    std::lock_guard guard(Lock);
    return RestartCount;
}

TSimKnobs TSimDevice::Knobs() const
{
    std::lock_guard guard(Lock);
    return MyKnobs;
}

void TSimDevice::SetKnobs(const TSimKnobs& knobs)
{
    std::lock_guard guard(Lock);
    if (knobs.LossPattern != MyKnobs.LossPattern)
        Random = std::mt19937(knobs.LossPattern);
    MyKnobs = knobs;
}

TBytes TSimDevice::Record() const
{
    return RecordAt(0);
}

void TSimDevice::SetRecord(const TBytes& bytes)
{
    std::lock_guard guard(Lock);
    TBytes& record = Records.front().Bytes;
    std::copy_n(bytes.begin(), std::min(bytes.size(), record.size()), record.begin());
}

void TSimDevice::AddRecord(const TSimRecordCodes& codes, const TBytes& bytes)
{
    if (codes.Size <= kSimCodeOffset)
        throw ESimError("a record must be longer than its header code");
    std::lock_guard guard(Lock);
    TBytes record(codes.Size, 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), record.size()), record.begin());
    Records.push_back({codes, std::move(record)});
}

TBytes TSimDevice::RecordAt(std::size_t index) const
{
    std::lock_guard guard(Lock);
    return Records.at(index).Bytes;
}

std::vector<TSimReceived> TSimDevice::Received() const
{
    std::lock_guard guard(Lock);
    return Log;
}

std::vector<TSimReceived> TSimDevice::ReceivedWithCode(std::uint8_t Code) const
{
    std::vector<TSimReceived> found;
    for (TSimReceived& received : Received())
        if (received.Data.size() > kSimCodeOffset && received.Data[kSimCodeOffset] == Code)
            found.push_back(std::move(received));
    return found;
}

std::vector<TBytes> TSimDevice::PayloadsWithCode(std::uint8_t Code) const
{
    std::vector<TBytes> payloads;
    for (TSimReceived& received : ReceivedWithCode(Code))
        payloads.push_back(std::move(received.Data));
    return payloads;
}

void TSimDevice::ClearReceived()
{
    std::lock_guard guard(Lock);
    Log.clear();
}

} // namespace qubra
