#pragma once

#include <memory>
#include <string>

#include "conversation/RecordingView.h"

namespace qubra::test {

// Every communication window and notice window made from it records into one test view.
class TSharedView : public TDataSenderView {
public:
    explicit TSharedView(TRecordingView& Target) : Target(Target) {}
    void SetCaption(const std::string& Text) override { Target.SetCaption(Text); }
    void SetStatus(const std::string& Text) override { Target.SetStatus(Text); }
    void SetPosition(int Position) override { Target.SetPosition(Position); }
    void SetLook(TSenderLook Look) override { Target.SetLook(Look); }
    void SetAnimation(bool Playing) override { Target.SetAnimation(Playing); }
    void Pump() override { Target.Pump(); }
    void KeepAlive() override { Target.KeepAlive(); }
    bool CancelRequested() override { return Target.CancelRequested(); }
    TMessageAnswer MessageBox(const TMessageBox& Box) override { return Target.MessageBox(Box); }
    void ShowNotice(const std::string& Caption, TMessageIcon Icon) override { Target.ShowNotice(Caption, Icon); }
    void Close() override { Target.Close(); }
    std::unique_ptr<TDataSenderView> CreateNoticeView() override { return std::make_unique<TSharedView>(Target); }

private:
    TRecordingView& Target;
};

} // namespace qubra::test
