#pragma once

#include <QColor>
#include <QFrame>
#include <QString>

#include <functional>

#include "ui/Anchors.h"

namespace qubra {

// The colours of the styled button and menu frames.
namespace TlacColors {
inline const QColor SelectedFace{255, 235, 202};
inline const QColor Hover{0, 128, 64}; // also the caption of a selected menu button
inline const QColor NormalFace{248, 115, 17};
inline const QColor InitialButtonFace{237, 119, 12};
inline const QColor FocusedMenuFrame{0, 170, 85};
inline const QColor White{255, 255, 255};
} // namespace TlacColors

// The coloured face `Tlac` of a styled frame: a flat panel with a centred bold caption ("&"
// underlines the next letter, "&&" shows an ampersand) that reports a click of the left
// button released over it. Its `caption` property is what language files set.
class TTlacFace : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)

public:
    explicit TTlacFace(QWidget* Parent);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Caption);
    QColor FaceColor() const { return FFaceColor; }
    void SetFaceColor(const QColor& Color);
    QColor CaptionColor() const { return FCaptionColor; }
    void SetCaptionColor(const QColor& Color);

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    QString FCaption = QStringLiteral("?");
    QColor FFaceColor;
    QColor FCaptionColor = TlacColors::White;
    bool Pressed = false;
};

// What the two styled frames share: a flat frame of one colour holding the face `Tlac`,
// forwarding a click on the face as its own click with the frame as sender, and reacting to
// the pointer entering and leaving it.
class TTlacFrame : public QFrame {
    Q_OBJECT

public:
    // The face, for its caption and hint, or to bind its click directly.
    TTlacFace* const Tlac;

    QColor FrameColor() const { return FFrameColor; }
    QSize sizeHint() const override { return DesignSize; }

Q_SIGNALS:
    // The frame's click handler: a click on the face, with the frame as sender.
    void clicked(QWidget* Sender);

protected:
    TTlacFrame(QWidget* Parent, const QString& Name, QSize Size, QRect FaceGeometry, const QColor& FaceColor);

    void SetFrameColor(const QColor& Color);
    // Takes the focus when the frame accepts focus by the Tab key; a refusal is ignored.
    void TakeFocusByTab();
    bool FaceShowsSelected() const { return Tlac->FaceColor() == TlacColors::SelectedFace; }

    virtual void PointerEntered() = 0;
    virtual void PointerLeft() = 0;

    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;

private:
    void TlacClick();

    const QSize DesignSize;
    QColor FFrameColor = TlacColors::White;
    TAnchors Anchors;
};

// The styled push button: an orange face in a white 1-pixel border, green under the pointer.
class TfrmTlacitko : public TTlacFrame {
    Q_OBJECT

public:
    explicit TfrmTlacitko(QWidget* Parent = nullptr);

private:
    void PointerEntered() override; // OnMouseEnter
    void PointerLeft() override;    // OnMouseLeave
};

// The styled menu or tab button: like the push button, with a selected look, a green frame
// while it has the focus, and notifications when the pointer enters and leaves it.
class TfrmTlacMenu : public TTlacFrame {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(QWidget* Sender)>;

    explicit TfrmTlacMenu(QWidget* Parent = nullptr);

    bool Selected() const { return FSelected; }
    // Selected: a light face with a green caption; otherwise the orange face, white caption.
    void SetSelected(bool Selected);
    // Called with the frame after the pointer entered it, selected or not.
    void SetOnMenuEnter(TNotifyEvent Callback) { OnMenuEnter = std::move(Callback); }
    // Called with the frame after the pointer left it and its look was restored.
    void SetOnMenuLeave(TNotifyEvent Callback) { OnMenuLeave = std::move(Callback); }

protected:
    void focusInEvent(QFocusEvent* Event) override;  // FrameEnter
    void focusOutEvent(QFocusEvent* Event) override; // FrameExit

private:
    void PointerEntered() override; // XOnMouseEnter
    void PointerLeft() override;    // XOnMouseLeave

    bool FSelected = false;
    TNotifyEvent OnMenuEnter;
    TNotifyEvent OnMenuLeave;
};

} // namespace qubra
