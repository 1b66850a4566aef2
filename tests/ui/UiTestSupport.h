#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QColor>
#include <QFile>
#include <QRect>
#include <QTemporaryDir>

#include <ostream>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i18n/Language.h"
#include "ui/Application.h"

namespace qubra::test {

// The one application object of the UI tests, made before the first test runs.
TApplication& App();

// Records the application's boxes instead of showing them, while it lives.
struct TBoxRecorder {
    std::vector<TApplicationBox> Boxes;
    TBoxRecorder() { App().SetShowBox([this](const TApplicationBox& box) { Boxes.push_back(box); }); }
    ~TBoxRecorder() { App().SetShowBox(nullptr); }
};

// A language of its own loaded from a file with one `forms` section.
struct TLanguageFile {
    QTemporaryDir Dir;
    TLanguage Lang;
    explicit TLanguageFile(const std::string& forms)
    {
        const QString path = Dir.filePath("test.lng.xml");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("<?xml version=\"1.0\" encoding=\"utf-8\"?><language><forms>" + forms + "</forms></language>").c_str());
        file.close();
        Lang.LoadLanguage(path.toStdString());
    }
};

// Lets the event loop run until Done holds or TimeoutMs has passed; false on time-out.
template <typename TDone>
bool ProcessEventsUntil(TDone Done, int TimeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!Done()) {
        if (timer.elapsed() > TimeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace qubra::test

QT_BEGIN_NAMESPACE
inline void PrintTo(const QColor& color, std::ostream* out)
{
    *out << "RGB(" << color.red() << ", " << color.green() << ", " << color.blue() << ")";
}
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QRect& r, std::ostream* out)
{
    *out << "(" << r.x() << ", " << r.y() << ") " << r.width() << " x " << r.height();
}
QT_END_NAMESPACE
