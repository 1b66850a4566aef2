#include "ui/Application.h"

#include <QThread>

#include <exception>

#include "i18n/Language.h"
#include "ui/Pictures.h"

namespace qubra {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(Title);
    // Lets the desktop shell match the windows to the installed desktop entry and its icon.
    setDesktopFileName(QStringLiteral(QUBRA_APP_ID));
    setWindowIcon(ApplicationIcon());
    // The windows are laid out in pixels for an 11-pixel font; the system's sans serif keeps it.
    QFont font = QApplication::font();
    font.setPixelSize(11);
    setFont(font);
    InstallMainThreadDispatcher(&Dispatcher);
    Language.ApplicationWindows = [this] { return Windows(); };
    Language.OnMessage = [this](const std::string& text) { ShowMessage(QString::fromStdString(text)); };
    // Before any file is loaded the built-in texts are Czech, and so are Qt's.
    Language.OnLoaded = [this] { QtTexts.Follow(Language.GetText(msgLocale)); };
    Language.OnLoaded();
}

TApplication::~TApplication()
{
    Language.OnLoaded = nullptr;
    Language.OnMessage = nullptr;
    Language.ApplicationWindows = nullptr;
    InstallMainThreadDispatcher(nullptr);
}

bool TApplication::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        ShowCurrentException();
        return true;
    }
}

void TApplication::ShowException(const QString& Text)
{
    // A box belongs to the main thread; an error caught on another thread is shown from there.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, Text] { ShowException(Text); }, Qt::QueuedConnection);
        return;
    }
    Show({QMessageBox::Critical, Title, Text});
}

void TApplication::ShowMessage(const QString& Text) { Show({QMessageBox::NoIcon, Title, Text}); }

void TApplication::Show(const TApplicationBox& Box)
{
    if (ShowBox) {
        ShowBox(Box);
        return;
    }
    QMessageBox box(Box.Icon, Box.Caption, Box.Text, QMessageBox::Ok, activeWindow());
    box.exec();
}

void ShowCurrentException()
{
    QString text;
    try {
        throw;
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown exception");
    }
    ShowError(text);
}

void ShowError(const QString& Text)
{
    if (auto* application = qobject_cast<TApplication*>(QCoreApplication::instance()))
        application->ShowException(Text);
    else
        qCritical("%s", qUtf8Printable(Text));
}

} // namespace qubra
