// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QApplication>
#include <QTranslator>

class ErrorGuard;

// Loads Qt's own texts in Bulgarian (the file and print dialogs, a message box's details button)
// into `translator`; false when the translation is not installed.
bool loadQtTranslation(QTranslator& translator);

// The program's application object. Handlers run inside the general error handler themselves;
// event delivery is guarded as well, so that an error thrown by Qt-called code that has no
// handler of ours around it is shown rather than ending the program.
class ClientApplication : public QApplication {
public:
    ClientApplication(int& argc, char** argv);

    void setErrorGuard(ErrorGuard* guard) { guard_ = guard; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    ErrorGuard* guard_ = nullptr;
    QTranslator qtTexts_;
};
