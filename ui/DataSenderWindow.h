#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include <functional>
#include <memory>

#include "conversation/DataSenderView.h"
#include "ui/Pictures.h"
#include "ui/SearchAnimation.h"

namespace qubra {

// The communication window `fDataSender`: a small tool window without title-bar buttons that
// shows one conversation with a device in one of three looks (search, exchange, notice).
// Esc or a close request while an operation runs asks to stop it; in the notice they press
// `cmdOK`, which is the default and the cancel button at once.
class TDataSenderDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize ClientSize{428, 77};

    // Owner: the window it belongs to, or none.
    explicit TDataSenderDialog(QWidget* Owner);

    TSearchAnimation* const Anim;
    QLabel* const imgSit;
    QLabel* const lblCaption;
    QProgressBar* const Progressbar;
    QPushButton* const cmdOK;
    TImageList* const ImageList1;

    void SetLook(TSenderLook Look);
    // Shows the window, centred on the screen, unless it is on show.
    void ShowCentred();
    // Turns the window into the notice: the picture of Icon and the button captioned
    // ButtonCaption below the status, shown modally; returns once the button was pressed (by
    // the pointer, Enter or Esc), the window hidden.
    void ShowNotice(const QString& ButtonCaption, TMessageIcon Icon);
    // Esc or a close request came while no notice was on show.
    bool CancelRequested() const { return FCancelRequested; }

protected:
    void reject() override;

private:
    // Centres the window on the screen unless it was placed before.
    void Centre();

    bool FNoticeOpen = false;
    bool FCancelRequested = false;
};

// Runs instead of the notice's modal loop (tests, the screenshots): the window is on show in
// its notice look, and the notice ends when Script returns.
using TNoticeScript = std::function<void(TDataSenderDialog& Notice)>;
// While set, every notice goes to Script; an empty one shows them modally again.
void SetNoticeScript(TNoticeScript Script);

// The Qt face of the communication window: the view of one TfDataSender. It owns its window
// and hands it to the event loop for deletion when it goes, so that the window may still be
// in the middle of its own event handling. The window shows itself at the first look or
// status. A window destroyed under it (its owner went) reads as a request to stop.
class TQtDataSenderView : public TDataSenderView {
public:
    explicit TQtDataSenderView(QWidget* Owner);
    ~TQtDataSenderView() override;
    TQtDataSenderView(const TQtDataSenderView&) = delete;
    TQtDataSenderView& operator=(const TQtDataSenderView&) = delete;

    // The window, or nullptr once it is gone; its destroyed() signal is the destroy
    // notification, raised after the view went and control came back to the event loop.
    TDataSenderDialog* Dialog() const { return FDialog; }

    void SetCaption(const std::string& Caption) override;
    void SetStatus(const std::string& Text) override;
    void SetPosition(int Position) override;
    void SetLook(TSenderLook Look) override;
    void SetAnimation(bool Playing) override;
    // Every pending event, the user's input included.
    void Pump() override;
    // Painting and timers (the animation), and the window's own keys (Esc asks to stop); the
    // user's input for other windows is dropped meanwhile.
    void KeepAlive() override;
    bool CancelRequested() override;
    TMessageAnswer MessageBox(const TMessageBox& Box) override;
    void ShowNotice(const std::string& ButtonCaption, TMessageIcon Icon) override;
    void Close() override;
    std::unique_ptr<TDataSenderView> CreateNoticeView() override;

private:
    void Reveal();

    QPointer<QWidget> FOwner;
    QPointer<TDataSenderDialog> FDialog;
    bool FClosed = false;
};

// The views of the communication windows that belong to Owner (none: to no window), or to
// the modal window on show when one is, as the controller's view factory.
TDataSenderViewFactory QtDataSenderViews(QWidget* Owner);

} // namespace qubra
