#include "ui/DataSenderWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <optional>
#include <utility>

#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "ui/Place.h"

namespace qubra {

namespace {

constexpr QSize kNetworkPictureSize{28, 31};

TNoticeScript& NoticeScript()
{
    static TNoticeScript script;
    return script;
}

std::optional<TNoticePicture> NoticePicture(TMessageIcon Icon)
{
    switch (Icon) {
    case TMessageIcon::Information: return TNoticePicture::Information;
    case TMessageIcon::Warning: return TNoticePicture::Warning;
    case TMessageIcon::Error: return TNoticePicture::Error;
    case TMessageIcon::Question: return TNoticePicture::Question;
    case TMessageIcon::None: break;
    }
    return std::nullopt;
}

} // namespace

TDataSenderDialog::TDataSenderDialog(QWidget* Owner)
    : QDialog(Owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Anim(Place(new TSearchAnimation(this), "Anim", QRect(8, 8, 32, 32))),
      imgSit(Place(new QLabel(this), "imgSit", QRect(QPoint(8, 8), kNetworkPictureSize))),
      lblCaption(Place(new QLabel(this), "lblCaption", QRect(48, 12, 289, 61))),
      Progressbar(Place(new QProgressBar(this), "Progressbar", QRect(48, 48, 361, 16))),
      cmdOK(Place(new QPushButton(QStringLiteral("OK"), this), "cmdOK", QRect(344, 48, 75, 25))),
      ImageList1(new TImageList(this))
{
    setObjectName(QStringLiteral("fDataSender"));
    setFixedSize(ClientSize);
    imgSit->hide();
    lblCaption->setWordWrap(true);
    lblCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblCaption->setTextFormat(Qt::PlainText);
    Progressbar->setRange(0, 100);
    Progressbar->setValue(0);
    Progressbar->setTextVisible(false);
    cmdOK->setDefault(true);
    cmdOK->hide();
    connect(cmdOK, &QPushButton::clicked, this, Guarded([this] { accept(); }));
}

void TDataSenderDialog::SetLook(TSenderLook Look)
{
    const bool search = Look == TSenderLook::Search;
    if (!search) Anim->SetActive(false);
    Anim->setVisible(search);
    imgSit->setVisible(!search);
    Progressbar->setVisible(Look == TSenderLook::Exchange);
    cmdOK->setVisible(Look == TSenderLook::Notice);
    if (Look == TSenderLook::Exchange) {
        imgSit->resize(kNetworkPictureSize);
        imgSit->setPixmap(RenderPicture(TPicture::Network, kNetworkPictureSize));
    }
}

void TDataSenderDialog::ShowCentred()
{
    if (isVisible()) return;
    Centre();
    show();
}

void TDataSenderDialog::Centre()
{
    // Once placed, the window keeps its place (the user may have moved it).
    if (testAttribute(Qt::WA_Moved)) return;
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TDataSenderDialog::ShowNotice(const QString& ButtonCaption, TMessageIcon Icon)
{
    SetLook(TSenderLook::Notice);
    const std::optional<TNoticePicture> picture = NoticePicture(Icon);
    imgSit->resize(32, 32);
    imgSit->setPixmap(picture ? ImageList1->Picture(*picture) : QPixmap());
    cmdOK->setText(ButtonCaption);
    cmdOK->setFocus();
    FNoticeOpen = true;
    hide();
    const QPointer<TDataSenderDialog> alive(this);
    if (NoticeScript()) {
        ShowCentred();
        NoticeScript()(*this);
    } else {
        Centre();
        exec();
    }
    if (!alive) return;
    FNoticeOpen = false;
    hide();
}

void TDataSenderDialog::reject()
{
    // In the notice Esc and a close request do what the button does (it is the cancel button
    // too); otherwise the window stays and asks to stop.
    if (FNoticeOpen)
        QDialog::reject();
    else
        FCancelRequested = true;
}

void SetNoticeScript(TNoticeScript Script) { NoticeScript() = std::move(Script); }

TQtDataSenderView::TQtDataSenderView(QWidget* Owner) : FOwner(Owner), FDialog(new TDataSenderDialog(Owner)) {}

TQtDataSenderView::~TQtDataSenderView()
{
    if (FDialog) {
        FDialog->hide();
        FDialog->deleteLater();
    }
}

void TQtDataSenderView::Reveal()
{
    if (FDialog && !FClosed) FDialog->ShowCentred();
}

void TQtDataSenderView::SetCaption(const std::string& Caption)
{
    if (FDialog) FDialog->setWindowTitle(QString::fromStdString(Caption));
}

void TQtDataSenderView::SetStatus(const std::string& Text)
{
    if (!FDialog) return;
    FDialog->lblCaption->setText(DisplayText(Text));
    Reveal();
}

void TQtDataSenderView::SetPosition(int Position)
{
    if (FDialog) FDialog->Progressbar->setValue(Position);
}

void TQtDataSenderView::SetLook(TSenderLook Look)
{
    if (!FDialog) return;
    FDialog->SetLook(Look);
    if (Look != TSenderLook::Notice) Reveal();
}

void TQtDataSenderView::SetAnimation(bool Playing)
{
    if (FDialog) FDialog->Anim->SetActive(Playing);
}

void TQtDataSenderView::Pump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

namespace {

bool IsUserInput(QEvent::Type Type)
{
    switch (Type) {
    case QEvent::KeyPress: case QEvent::KeyRelease: case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress: case QEvent::MouseButtonRelease: case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: case QEvent::Wheel: case QEvent::ContextMenu:
    case QEvent::TouchBegin: case QEvent::TouchUpdate: case QEvent::TouchEnd: case QEvent::TouchCancel:
    case QEvent::TabletPress: case QEvent::TabletMove: case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// While it is installed, user input reaches only the communication window (Esc there asks to
// stop); input for the other windows is dropped, as their commands refuse to run meanwhile.
class TOwnInputOnly : public QObject {
public:
    explicit TOwnInputOnly(QWidget* Own) : Own(Own) { QCoreApplication::instance()->installEventFilter(this); }
    ~TOwnInputOnly() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (!IsUserInput(Event->type())) return false;
        if (auto* widget = qobject_cast<QWidget*>(Watched)) return widget->window() != Own;
        if (auto* window = qobject_cast<QWindow*>(Watched)) return window != Own->windowHandle();
        return true;
    }

private:
    QWidget* const Own;
};

} // namespace

void TQtDataSenderView::KeepAlive()
{
    if (!FDialog || !FDialog->isVisible()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    const TOwnInputOnly filter(FDialog);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TQtDataSenderView::CancelRequested() { return !FDialog || FDialog->CancelRequested(); }

TMessageAnswer TQtDataSenderView::MessageBox(const TMessageBox& Box)
{
    // Over the window while it is on show, otherwise over its owner.
    QWidget* parent = FDialog && FDialog->isVisible() ? static_cast<QWidget*>(FDialog) : FOwner.data();
    return ShowMessageBox(parent, Box);
}

void TQtDataSenderView::ShowNotice(const std::string& ButtonCaption, TMessageIcon Icon)
{
    if (FDialog) FDialog->ShowNotice(QString::fromStdString(ButtonCaption), Icon);
}

void TQtDataSenderView::Close()
{
    FClosed = true;
    if (FDialog) {
        FDialog->Anim->SetActive(false);
        FDialog->hide();
    }
}

std::unique_ptr<TDataSenderView> TQtDataSenderView::CreateNoticeView()
{
    return std::make_unique<TQtDataSenderView>(nullptr);
}

TDataSenderViewFactory QtDataSenderViews(QWidget* Owner)
{
    return [Owner = QPointer<QWidget>(Owner)]() -> std::unique_ptr<TDataSenderView> {
        // A modal window (the address wizard) blocks the input of every window outside it, so
        // the windows it opens belong to it: otherwise Esc would never reach them.
        QWidget* modal = QApplication::activeModalWidget();
        return std::make_unique<TQtDataSenderView>(modal ? modal : Owner.data());
    };
}

} // namespace qubra
