#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>

#include "conversation/MessageBoxView.h"

namespace qubra {

// A system text as a window shows it: CR LF (and a lone CR) become line breaks.
QString DisplayText(const std::string& Text);

// Answers a message box instead of showing it: gets the box as built (caption, text, icon,
// buttons, default button) and returns the button to press. Tests and the screenshots use it.
using TMessageBoxScript = std::function<TMessageAnswer(QMessageBox& Box)>;
// While set, every message box goes to Script; an empty one shows them again.
void SetMessageBoxScript(TMessageBoxScript Script);

// Shows Box modally over Parent (none: over no window). The button pressed; Esc or closing
// the box gives Cancel.
TMessageAnswer ShowMessageBox(QWidget* Parent, const TMessageBox& Box);

// The message boxes of a window that talks to no device itself (the main window's questions),
// shown over that window.
class TQtMessageBoxView : public TMessageBoxView {
public:
    explicit TQtMessageBoxView(QWidget* Owner) : Owner(Owner) {}

    TMessageAnswer MessageBox(const TMessageBox& Box) override { return ShowMessageBox(Owner, Box); }

private:
    QPointer<QWidget> Owner;
};

} // namespace qubra
