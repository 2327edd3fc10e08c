// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QDialog>

#include <functional>

class Dialogs;
class QPushButton;
class QTextEdit;

// The help window: the user guide delivered next to the program, read-only. Hidden until the
// help button asks for it.
class TfmHelp : public QDialog {
    Q_OBJECT
public:
    // Where a file delivered with the program lies, by its name.
    using ProgramFile = std::function<QString(const QString& fileName)>;

    explicit TfmHelp(QWidget* parent = nullptr, ProgramFile programFile = {});

    // Reads `Help Text.rtf` from the program's folder anew and shows it modally through
    // `dialogs`, returning when the window is closed. A file that cannot be read is an error,
    // and the window is not shown.
    void ShowHelp(Dialogs& dialogs);

    // Replaces the text with the file's: RTF, or plain text when it is not RTF. Throws
    // "Cannot open file ..." when it cannot be opened, "Failed to Load Stream" when it is
    // neither, and an error naming the file for RTF beyond the reader's bounds.
    void LoadHelp(const QString& path);

    QTextEdit* edtHelp;
    QPushButton* btnExit;

private:
    ProgramFile programFile_;
};
