#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <concepts>
#include <functional>

#include "ui/QtDispatcher.h"
#include "ui/QtTranslation.h"
#include "ui/WidgetControl.h"

namespace qubra {

// A box the application shows by itself: the default error box and the plain message box.
struct TApplicationBox {
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QString Caption;
    QString Text;
};

// The application object of the desktop program. It carries the title and icon, runs the
// socket threads' main-thread calls through the Qt event loop, lets the language files
// translate the windows it owns and Qt's own texts follow the language loaded, and shows every exception that escapes an event handler in
// its default error box; the program goes on.
class TApplication : public QApplication {
    Q_OBJECT

public:
    static inline const QString Title = QStringLiteral("QUBRA 232");
    using TShowBox = std::function<void(const TApplicationBox& Box)>;

    // One application object at a time.
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // The last resort for an exception that a handler did not keep from Qt (see Guarded).
    bool notify(QObject* Receiver, QEvent* Event) override;

    // The default error box: the title as caption, Text, an error icon and an OK button.
    void ShowException(const QString& Text);
    // A plain box with the title as caption and an OK button.
    void ShowMessage(const QString& Text);
    // Replaces the way both boxes are shown (tests record them); an empty one restores it.
    void SetShowBox(TShowBox Show) { ShowBox = std::move(Show); }

private:
    void Show(const TApplicationBox& Box);

    TShowBox ShowBox;
    TQtDispatcher Dispatcher;
    TApplicationWindows Windows;
    TQtTranslation QtTexts;
};

// Called in a catch block: shows the exception being handled in the application's default
// error box. Every exception that escapes a handler ends here.
void ShowCurrentException();
// Shows Text in the application's default error box.
void ShowError(const QString& Text);

// The handler wrapped for connecting to a Qt signal or posting to the event loop: an exception
// that escapes it goes to ShowCurrentException right there. Qt's widget libraries are built
// without exception support, so an exception unwinding through their frames would skip their
// clean-up and leave them in a broken state; handlers therefore stop it before it gets there.
template <typename THandler>
auto Guarded(THandler Handler)
{
    return [Handler = std::move(Handler)]<typename... TArgs>(TArgs&&... Args) -> void
        requires std::invocable<const THandler&, TArgs...>
    {
        try {
            std::invoke(Handler, std::forward<TArgs>(Args)...);
        } catch (...) {
            ShowCurrentException();
        }
    };
}

} // namespace qubra
