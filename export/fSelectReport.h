#pragma once

#include <QDialog>

// The offer type dialog: price offer or technical offer. Hidden until asked.
class TfmSelectReport : public QDialog {
    Q_OBJECT
public:
    explicit TfmSelectReport(QWidget* parent = nullptr);
};
