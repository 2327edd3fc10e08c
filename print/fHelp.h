#pragma once

#include <QDialog>

class QPushButton;
class QTextEdit;

// The help window: the user guide delivered next to the program, read-only. Hidden until the
// help button asks for it.
class TfmHelp : public QDialog {
    Q_OBJECT
public:
    explicit TfmHelp(QWidget* parent = nullptr);

    QTextEdit* edtHelp;
    QPushButton* btnExit;
};
