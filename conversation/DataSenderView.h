#pragma once

#include <functional>
#include <memory>
#include <string>

#include "conversation/MessageBoxView.h"

namespace qubra {

// The three faces of the communication window: searching (animation), exchanging records
// (progress bar and network picture) and the notice (picture, text and one button).
enum class TSenderLook { Search, Exchange, Notice };

// Raised by the engine when its view asked to stop. Deliberately not derived from
// std::exception: the engine's error handling lets it pass, only its scope guards run on the
// way out (they remove a temporary ARP entry, restore the answer time-out, close the socket).
struct EOperationCancelled {};

// Everything the conversation engine shows or asks goes through this interface; the Qt window,
// the console of the command line and the recording view of the tests implement it.
class TDataSenderView : public TMessageBoxView {
public:
    // How far apart KeepAlive is called at most while the engine waits, in milliseconds.
    static constexpr int kKeepAliveMs = 50;

    virtual void SetCaption(const std::string& Caption) = 0;
    virtual void SetStatus(const std::string& Text) = 0;
    // Percent done of a record exchange, 0 to 100.
    virtual void SetPosition(int Position) = 0;
    virtual void SetLook(TSenderLook Look) = 0;
    virtual void SetAnimation(bool Playing) = 0;
    // Lets the window system dispatch its pending events, then returns.
    virtual void Pump() = 0;
    // Light and frequent, during every wait: keeps the windows painted and their timers (the
    // animation) running, and takes no user input but the view's own request to stop. Called
    // at most kKeepAliveMs apart.
    virtual void KeepAlive() = 0;
    // The user asked to stop the operation (the window's button, Ctrl-C). The engine asks after
    // every Pump and KeepAlive and then ends the operation with EOperationCancelled.
    virtual bool CancelRequested() = 0;
    // A descriptor that becomes readable when the view wants the engine before the next
    // keep-alive is due: a stop asked for from another thread or a signal handler. A wait ends
    // as soon as it can be read and goes on to KeepAlive and CancelRequested; a view that is
    // not stopping must have cleared it by then. -1 (the default): none, a stop then takes
    // effect at the next keep-alive.
    virtual int WakeUpHandle() { return -1; }
    // Shows the notice look (the status as text, the picture of Icon, one button captioned
    // ButtonCaption) modally; returns once the button (or Enter or Esc) has been pressed.
    virtual void ShowNotice(const std::string& ButtonCaption, TMessageIcon Icon) = 0;
    // The engine closed the window: hide it; a window system destroys it once back in its loop.
    virtual void Close() = 0;
    // A view for a separate notice window that has no owner.
    virtual std::unique_ptr<TDataSenderView> CreateNoticeView() = 0;
};

// Makes the view of each new communication window.
using TDataSenderViewFactory = std::function<std::unique_ptr<TDataSenderView>()>;

} // namespace qubra
