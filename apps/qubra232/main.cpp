#include <QScreen>

#include <cstdio>
#include <memory>

#include "model/DeviceMapping.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/ProgramOptions.h"

// The desktop program: the device mapping, the main window, the language, the message loop.
int main(int argc, char** argv)
{
    qubra::TApplication application(argc, argv);
    qubra::TProgramOptions options;
    try {
        std::vector<std::string> words;
        for (const QString& word : application.arguments().mid(1)) words.push_back(word.toStdString());
        options = qubra::ParseProgramOptions(words);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qubra232: %s\n%s", error.what(), qubra::kProgramUsage);
        return 2;
    }
    std::unique_ptr<qubra::TDataManager> manager;
    try {
        manager = qubra::LoadDeviceMapping();
    } catch (const std::exception& error) {
        application.ShowException(QString::fromUtf8(error.what()));
        return 1;
    }
    qubra::TfQUBRA window(*manager);
    window.Controller().Link = options.Link;
    try {
        window.StartLanguage(options.LanguageFile);
    } catch (...) {
        qubra::ShowCurrentException();
    }
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    return application.exec();
}
