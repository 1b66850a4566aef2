#include "ui/MessageBoxes.h"

#include <QKeyEvent>

#include <algorithm>
#include <vector>
#include <utility>

namespace qubra {

namespace {

TMessageBoxScript& Script()
{
    static TMessageBoxScript script;
    return script;
}

QMessageBox::Icon BoxIcon(TMessageIcon Icon)
{
    switch (Icon) {
    case TMessageIcon::None: return QMessageBox::NoIcon;
    case TMessageIcon::Information: return QMessageBox::Information;
    case TMessageIcon::Warning: return QMessageBox::Warning;
    case TMessageIcon::Error: return QMessageBox::Critical;
    case TMessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// The box's buttons from left to right.
std::vector<QMessageBox::StandardButton> ButtonsOf(TMessageButtons Buttons)
{
    switch (Buttons) {
    case TMessageButtons::OK: return {QMessageBox::Ok};
    case TMessageButtons::YesNo: return {QMessageBox::Yes, QMessageBox::No};
    case TMessageButtons::RetryCancel: return {QMessageBox::Retry, QMessageBox::Cancel};
    }
    return {QMessageBox::Ok};
}

QMessageBox::StandardButton BoxButton(TMessageAnswer Answer)
{
    switch (Answer) {
    case TMessageAnswer::OK: return QMessageBox::Ok;
    case TMessageAnswer::Yes: return QMessageBox::Yes;
    case TMessageAnswer::No: return QMessageBox::No;
    case TMessageAnswer::Cancel: return QMessageBox::Cancel;
    case TMessageAnswer::Retry: return QMessageBox::Retry;
    case TMessageAnswer::None: break;
    }
    return QMessageBox::NoButton;
}

TMessageAnswer Answer(QMessageBox::StandardButton Button)
{
    switch (Button) {
    case QMessageBox::Ok: return TMessageAnswer::OK;
    case QMessageBox::Yes: return TMessageAnswer::Yes;
    case QMessageBox::No: return TMessageAnswer::No;
    case QMessageBox::Retry: return TMessageAnswer::Retry;
    case QMessageBox::Cancel: return TMessageAnswer::Cancel;
    default: return TMessageAnswer::Cancel;
    }
}

// Tells a box left by Esc or by its close request from one whose button was pressed: Qt
// presses the box's escape button in both cases (No in a Yes/No box).
class TEscapeWatch : public QObject {
public:
    explicit TEscapeWatch(QMessageBox& Box) : Box(Box) { Box.installEventFilter(this); }
    bool Escaped = false;

protected:
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(Event)->matches(QKeySequence::Cancel))
            Escaped = true;
        // A button pressed closes the box too, but only after it was recorded as clicked.
        if (Event->type() == QEvent::Close && !Box.clickedButton()) Escaped = true;
        return false;
    }

private:
    QMessageBox& Box;
};

} // namespace

QString DisplayText(const std::string& Text)
{
    QString text = QString::fromStdString(Text);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void SetMessageBoxScript(TMessageBoxScript Script) { qubra::Script() = std::move(Script); }

TMessageAnswer ShowMessageBox(QWidget* Parent, const TMessageBox& Box)
{
    const auto buttons = ButtonsOf(Box.Buttons);
    QMessageBox box(BoxIcon(Box.Icon), QString::fromStdString(Box.Caption), DisplayText(Box.Text),
                    QMessageBox::NoButton, Parent);
    box.setTextFormat(Qt::PlainText);
    for (QMessageBox::StandardButton button : buttons) box.addButton(button);
    // A default that is not among the buttons leaves the first one the default.
    const QMessageBox::StandardButton preferred = BoxButton(Box.DefaultButton);
    box.setDefaultButton(std::ranges::find(buttons, preferred) != buttons.end() ? preferred : buttons.front());
    if (Script()) return Script()(box);
    const TEscapeWatch watch(box);
    box.exec();
    return watch.Escaped ? TMessageAnswer::Cancel : Answer(box.standardButton(box.clickedButton()));
}

} // namespace qubra
