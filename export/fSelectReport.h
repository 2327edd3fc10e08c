// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QPushButton;

// The offer type dialog: price offer or technical offer. Made once at start-up and asked again
// for every export and every printing; each showing starts on the price offer.
class TfmSelectReport : public QDialog {
    Q_OBJECT
public:
    explicit TfmSelectReport(QWidget* parent = nullptr);

    // Shows the dialog modally under the caption `vsName`: 2 for "Ценова оферта", 1 for
    // "Техническа оферта", -1 when closed without OK (Отказ, Esc or the close box).
    int SelectReport(const QString& vsName);

    // The selected item: 0 price offer, 1 technical offer.
    int itemIndex() const;
    void setItemIndex(int index);

    QGroupBox* rgSelect;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    QButtonGroup* rgSelectItems;
};
