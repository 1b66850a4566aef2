#include "conversation/RecordingView.h"

namespace qubra {

void TRecordingView::SetStatus(const std::string& Text)
{
    FStatus = Text;
    Statuses.push_back(Text);
}

void TRecordingView::Pump()
{
    ++Pumps;
    if (OnPump)
        OnPump();
}

void TRecordingView::KeepAlive()
{
    ++KeepAlives;
    if (OnKeepAlive)
        OnKeepAlive();
}

bool TRecordingView::CancelRequested()
{
    // A test may take a stop back and go on with the same view.
    if (!Cancel)
        FWakeUp.Clear();
    return Cancel;
}

void TRecordingView::RequestCancel()
{
    Cancel = true;
    FWakeUp.Signal();
}

TMessageAnswer TRecordingView::MessageBox(const TMessageBox& Box)
{
    Questions.push_back(Box);
    if (OnQuestion)
        OnQuestion(Box);
    if (Answers.empty())
        return TMessageAnswer::Cancel;
    const TMessageAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
}

void TRecordingView::ShowNotice(const std::string& ButtonCaption, TMessageIcon Icon)
{
    Notices.push_back({FStatus, ButtonCaption, Icon});
    if (FOwner)
        FOwner->WindowNotices.push_back(Notices.back());
}

std::unique_ptr<TDataSenderView> TRecordingView::CreateNoticeView()
{
    auto view = std::make_unique<TRecordingView>();
    view->FOwner = this;
    return view;
}

} // namespace qubra
