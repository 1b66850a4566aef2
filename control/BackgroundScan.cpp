#include "control/BackgroundScan.h"

#include <algorithm>
#include <utility>

namespace qubra {

// The searches' view: silent, and stopping when the scan is stopped.
class TBackgroundScan::TQuietView : public TDataSenderView {
public:
    explicit TQuietView(const TBackgroundScan& Scan) : Scan(Scan) {}

    void SetCaption(const std::string&) override {}
    void SetStatus(const std::string&) override {}
    void SetPosition(int) override {}
    void SetLook(TSenderLook) override {}
    void SetAnimation(bool) override {}
    void Pump() override {}
    void KeepAlive() override {}
    bool CancelRequested() override { return Scan.FStop; }
    int WakeUpHandle() override { return Scan.FWakeUp.Handle(); }
    void ShowNotice(const std::string&, TMessageIcon) override {}
    void Close() override {}
    TMessageAnswer MessageBox(const TMessageBox&) override { return TMessageAnswer::Cancel; }
    std::unique_ptr<TDataSenderView> CreateNoticeView() override { return std::make_unique<TQuietView>(Scan); }

private:
    const TBackgroundScan& Scan;
};

TBackgroundScan::TBackgroundScan(const TLinkSettings& Link, TScanner::TLayoutLoader LoadLayout,
                                 bool AllInterfaces)
    : FDuration(TScanner::Duration(Link.AnswerTimeout)),
      FScanner([this] { return std::make_unique<TQuietView>(*this); }, Link, std::move(LoadLayout))
{
    // Nobody sees it; a status of its own keeps the searching threads off the language, which
    // the window may switch meanwhile.
    FScanner.Caption = "scan";
    FScanner.OnEntry = [this](const TScanEntry& Entry) {
        std::lock_guard guard(FLock);
        FNew.push_back(Entry);
    };
    FThread = std::thread([this, AllInterfaces] {
        try {
            FScanner.Scan(AllInterfaces);
        } catch (...) {
            std::lock_guard guard(FLock);
            FError = std::current_exception();
        }
        FFinished = true;
    });
}

TBackgroundScan::~TBackgroundScan()
{
    Stop();
    FThread.join();
}

std::vector<TScanEntry> TBackgroundScan::TakeNew()
{
    std::lock_guard guard(FLock);
    return std::exchange(FNew, {});
}

void TBackgroundScan::Stop()
{
    FStop = true;
    FWakeUp.Signal();
}

std::chrono::milliseconds TBackgroundScan::Remaining() const
{
    if (FFinished)
        return std::chrono::milliseconds(0);
    const auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - FStart);
    return std::max(FDuration - passed, std::chrono::milliseconds(0));
}

std::exception_ptr TBackgroundScan::Error() const
{
    std::lock_guard guard(FLock);
    return FError;
}

} // namespace qubra
