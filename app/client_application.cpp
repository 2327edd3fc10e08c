// SPDX-License-Identifier: Apache-2.0
#include "app/client_application.h"

#include "ui/error_guard.h"

#include <QLibraryInfo>
#include <QLocale>

bool loadQtTranslation(QTranslator& translator) {
    return translator.load(QLocale(QLocale::Bulgarian, QLocale::Bulgaria), QStringLiteral("qtbase"),
                           QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

ClientApplication::ClientApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // Every text of ours is Bulgarian; the dialogs Qt draws itself should not be the exception.
    // Without the translation they keep Qt's English.
    if (loadQtTranslation(qtTexts_))
        installTranslator(&qtTexts_);
}

bool ClientApplication::notify(QObject* receiver, QEvent* event) {
    if (guard_ == nullptr)
        return QApplication::notify(receiver, event);
    bool handled = false;
    guard_->run([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
