#pragma once

#include <memory>
#include <string>

namespace qubra {

// The three faces of the communication window: searching (animation), exchanging records
// (progress bar and network picture) and the notice (picture, text and one button).
enum class TSenderLook { Search, Exchange, Notice };

enum class TMessageIcon { None, Information, Warning, Error, Question };
enum class TMessageButtons { OK, YesNo };
enum class TMessageAnswer { None, OK, Yes, No, Cancel };

// A message box: what the user is shown and which button Enter presses.
struct TMessageBox {
    std::string Caption;
    std::string Text;
    TMessageButtons Buttons = TMessageButtons::OK;
    TMessageIcon Icon = TMessageIcon::None;
    TMessageAnswer DefaultButton = TMessageAnswer::OK;
};

// Everything the conversation engine shows or asks goes through this interface; the Qt window,
// the console of the command line and the recording view of the tests implement it.
class TDataSenderView {
public:
    virtual ~TDataSenderView() = default;

    virtual void SetCaption(const std::string& Caption) = 0;
    virtual void SetStatus(const std::string& Text) = 0;
    // Percent done of a record exchange, 0 to 100.
    virtual void SetPosition(int Position) = 0;
    virtual void SetLook(TSenderLook Look) = 0;
    virtual void SetAnimation(bool Playing) = 0;
    // Lets the window system dispatch its pending events, then returns.
    virtual void Pump() = 0;
    // Modal; the button pressed (Esc or closing the box gives Cancel).
    virtual TMessageAnswer MessageBox(const TMessageBox& Box) = 0;
    // Shows the notice look (the status as text, the picture of Icon, one button captioned
    // ButtonCaption) modally; returns once the button (or Enter or Esc) has been pressed.
    virtual void ShowNotice(const std::string& ButtonCaption, TMessageIcon Icon) = 0;
    // The engine closed the window: hide it; a window system destroys it once back in its loop.
    virtual void Close() = 0;
    // A view for a separate notice window that has no owner.
    virtual std::unique_ptr<TDataSenderView> CreateNoticeView() = 0;
};

} // namespace qubra
