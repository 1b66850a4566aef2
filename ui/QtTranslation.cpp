#include "ui/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

#include <utility>

namespace qubra {

TQtTranslation::TQtTranslation(QString Folder)
    : Folder(Folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : std::move(Folder))
{
}

TQtTranslation::~TQtTranslation()
{
    if (FInstalled) QCoreApplication::removeTranslator(&Translator);
}

bool TQtTranslation::Follow(const std::string& LocaleName)
{
    if (LocaleName == FLocale) return FInstalled;
    FLocale = LocaleName;
    if (FInstalled) QCoreApplication::removeTranslator(&Translator);
    // qtbase holds the texts of the widgets; installing it makes the open windows retranslate.
    FInstalled = Translator.load(QLocale(QString::fromStdString(LocaleName)), QStringLiteral("qtbase"),
                                 QStringLiteral("_"), Folder)
                 && QCoreApplication::installTranslator(&Translator);
    return FInstalled;
}

} // namespace qubra
