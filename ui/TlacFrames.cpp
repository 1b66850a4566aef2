#include "ui/TlacFrames.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/Application.h"

namespace qubra {

TTlacFace::TTlacFace(QWidget* Parent) : QWidget(Parent)
{
    setObjectName(QStringLiteral("Tlac"));
    setCursor(Qt::PointingHandCursor);
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(13);
    font.setBold(true);
    setFont(font);
}

void TTlacFace::SetCaption(const QString& Caption)
{
    FCaption = Caption;
    update();
}

void TTlacFace::SetFaceColor(const QColor& Color)
{
    FFaceColor = Color;
    update();
}

void TTlacFace::SetCaptionColor(const QColor& Color)
{
    FCaptionColor = Color;
    update();
}

void TTlacFace::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), FFaceColor);
    painter.setPen(FCaptionColor);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, FCaption);
}

void TTlacFace::mousePressEvent(QMouseEvent* Event)
{
    Pressed = Event->button() == Qt::LeftButton;
}

void TTlacFace::mouseReleaseEvent(QMouseEvent* Event)
{
    const bool click = Pressed && Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint());
    Pressed = false;
    // The handlers behind the click are the program's; their errors stop here, short of Qt.
    if (click) Guarded([this] { Q_EMIT clicked(); })();
}

TTlacFrame::TTlacFrame(QWidget* Parent, const QString& Name, QSize Size, QRect FaceGeometry, const QColor& FaceColor)
    : QFrame(Parent), Tlac(new TTlacFace(this)), DesignSize(Size), Anchors(this)
{
    setObjectName(Name);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::TabFocus);
    resize(Size);
    Tlac->setGeometry(FaceGeometry);
    Tlac->SetFaceColor(FaceColor);
    Anchors.Anchor(Tlac, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    connect(Tlac, &TTlacFace::clicked, this, &TTlacFrame::TlacClick);
}

void TTlacFrame::SetFrameColor(const QColor& Color)
{
    FFrameColor = Color;
    update();
}

void TTlacFrame::TakeFocusByTab()
{
    if (focusPolicy() & Qt::TabFocus) setFocus(Qt::MouseFocusReason);
}

void TTlacFrame::TlacClick() { Q_EMIT clicked(this); }

void TTlacFrame::enterEvent(QEnterEvent*)
{
    Guarded([this] { PointerEntered(); })();
}

void TTlacFrame::leaveEvent(QEvent*)
{
    Guarded([this] { PointerLeft(); })();
}

void TTlacFrame::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), FFrameColor);
}

TfrmTlacitko::TfrmTlacitko(QWidget* Parent)
    : TTlacFrame(Parent, QStringLiteral("frmTlacitko"), QSize(115, 18), QRect(1, 1, 113, 16),
                 TlacColors::InitialButtonFace)
{
}

void TfrmTlacitko::PointerEntered()
{
    if (!FaceShowsSelected()) Tlac->SetFaceColor(TlacColors::Hover);
    TakeFocusByTab();
}

void TfrmTlacitko::PointerLeft() { Tlac->SetFaceColor(TlacColors::NormalFace); }

// The face reaches 3 pixels below the frame's bottom as designed, so a taller frame shows it
// whole while only its right edge leaves a pixel of the frame's colour.
TfrmTlacMenu::TfrmTlacMenu(QWidget* Parent)
    : TTlacFrame(Parent, QStringLiteral("frmTlacMenu"), QSize(115, 11), QRect(0, 0, 114, 14), TlacColors::NormalFace)
{
}

void TfrmTlacMenu::SetSelected(bool Selected)
{
    FSelected = Selected;
    Tlac->SetFaceColor(Selected ? TlacColors::SelectedFace : TlacColors::NormalFace);
    Tlac->SetCaptionColor(Selected ? TlacColors::Hover : TlacColors::White);
}

void TfrmTlacMenu::PointerEntered()
{
    if (!FaceShowsSelected()) {
        Tlac->SetFaceColor(TlacColors::Hover);
        Tlac->SetCaptionColor(TlacColors::White);
        TakeFocusByTab();
    }
    if (OnMenuEnter) OnMenuEnter(this);
}

void TfrmTlacMenu::PointerLeft()
{
    SetSelected(FSelected);
    if (OnMenuLeave) OnMenuLeave(this);
}

void TfrmTlacMenu::focusInEvent(QFocusEvent* Event)
{
    SetFrameColor(TlacColors::FocusedMenuFrame);
    TTlacFrame::focusInEvent(Event);
}

void TfrmTlacMenu::focusOutEvent(QFocusEvent* Event)
{
    SetFrameColor(TlacColors::White);
    TTlacFrame::focusOutEvent(Event);
}

} // namespace qubra
