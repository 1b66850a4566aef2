#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "conversation/DataSenderView.h"
#include "net/WakeUp.h"

namespace qubra {

// A view that shows nothing: it records what the engine shows and asks, and answers the
// questions from a script. Used by tests and by anyone driving the engine without a screen.
class TRecordingView : public TDataSenderView {
public:
    struct TNotice {
        std::string Text;
        std::string ButtonCaption;
        TMessageIcon Icon;
    };

    std::string Caption;
    std::vector<std::string> Statuses;
    std::vector<int> Positions;
    std::vector<TSenderLook> Looks;
    std::vector<bool> Animations;
    int Pumps = 0;
    int KeepAlives = 0;
    int Closes = 0;
    std::vector<TMessageBox> Questions;
    std::vector<TNotice> Notices;
    // Notices shown by separate notice windows created from this view.
    std::vector<TNotice> WindowNotices;

    // Answers given to the questions in turn; when it runs dry, questions get Cancel.
    std::deque<TMessageAnswer> Answers;
    // Runs at every question before it is answered; may throw to play a failing window.
    std::function<void(const TMessageBox&)> OnQuestion;
    // Runs at every pump: lets a test act in the middle of an operation.
    std::function<void()> OnPump;
    // Runs at every keep-alive call of a wait.
    std::function<void()> OnKeepAlive;
    // What CancelRequested answers: set it (from a hook) to play the user who stops.
    std::atomic<bool> Cancel = false;
    // Sets Cancel and wakes the engine's wait: the user who stops from another thread.
    void RequestCancel();

    // The last status and position shown (empty and 0 before any).
    std::string Status() const { return FStatus; }
    int Position() const { return Positions.empty() ? 0 : Positions.back(); }

    void SetCaption(const std::string& Text) override { Caption = Text; }
    void SetStatus(const std::string& Text) override;
    void SetPosition(int Position) override { Positions.push_back(Position); }
    void SetLook(TSenderLook Look) override { Looks.push_back(Look); }
    void SetAnimation(bool Playing) override { Animations.push_back(Playing); }
    void Pump() override;
    void KeepAlive() override;
    bool CancelRequested() override;
    int WakeUpHandle() override { return FWakeUp.Handle(); }
    TMessageAnswer MessageBox(const TMessageBox& Box) override;
    void ShowNotice(const std::string& ButtonCaption, TMessageIcon Icon) override;
    void Close() override { ++Closes; }
    std::unique_ptr<TDataSenderView> CreateNoticeView() override;

private:
    std::string FStatus;
    TWakeUp FWakeUp;
    TRecordingView* FOwner = nullptr;
};

} // namespace qubra
