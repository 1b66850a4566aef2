#pragma once

#include <QString>
#include <QTranslator>

#include <string>

namespace qubra {

// Qt's own texts (the standard buttons of message boxes and dialogs, the edits' context menus)
// in one language, from the translations Qt ships (Debian: qt6-translations-l10n). Without a
// translation for the language they are Qt's English ones.
class TQtTranslation {
public:
    // Folder: where the translations lie; by default Qt's own folder.
    explicit TQtTranslation(QString Folder = {});
    ~TQtTranslation();
    TQtTranslation(const TQtTranslation&) = delete;
    TQtTranslation& operator=(const TQtTranslation&) = delete;

    // Switches to the language of LocaleName ("cs", "en"); false when no translation for it
    // was found (then Qt's English texts show).
    bool Follow(const std::string& LocaleName);

private:
    QString Folder;
    QTranslator Translator;
    std::string FLocale;
    bool FInstalled = false;
};

} // namespace qubra
