#pragma once

#include <string>

namespace qubra {

enum class TMessageIcon { None, Information, Warning, Error, Question };
enum class TMessageButtons { OK, YesNo, RetryCancel };
enum class TMessageAnswer { None, OK, Yes, No, Cancel, Retry };

// A message box: what the user is shown and which button Enter presses.
struct TMessageBox {
    std::string Caption;
    std::string Text;
    TMessageButtons Buttons = TMessageButtons::OK;
    TMessageIcon Icon = TMessageIcon::None;
    TMessageAnswer DefaultButton = TMessageAnswer::OK;
};

// Message boxes only: all that a window asks of its view when it talks to no device itself
// (the main window's questions).
class TMessageBoxView {
public:
    virtual ~TMessageBoxView() = default;

    // Modal; the button pressed (Esc or closing the box gives Cancel).
    virtual TMessageAnswer MessageBox(const TMessageBox& Box) = 0;
};

} // namespace qubra
