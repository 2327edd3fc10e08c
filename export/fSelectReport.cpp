// SPDX-License-Identifier: Apache-2.0
#include "export/fSelectReport.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

TfmSelectReport::TfmSelectReport(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("fmSelectReport"));
    setWindowTitle(QStringLiteral("Избор на тип оферта"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(358, 100);

    rgSelect = new QGroupBox(this);
    rgSelect->setObjectName(QStringLiteral("rgSelect"));
    // The group has no title on screen; the dialog's caption says what is chosen.
    rgSelect->setAccessibleName(QStringLiteral("Тип оферта"));
    rgSelect->setGeometry(8, 8, 342, 53);
    rgSelectItems = new QButtonGroup(this);
    auto* items = new QGridLayout(rgSelect);
    const QString captions[] = {QStringLiteral("Ценова оферта"),
                                QStringLiteral("Техническа оферта")};
    for (int index = 0; index < 2; ++index) {
        auto* item = new QRadioButton(captions[index], rgSelect);
        rgSelectItems->addButton(item, index);
        items->addWidget(item, 0, index);
    }

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(194, 67, 75, 25);
    btnOK->setToolTip(QStringLiteral("Потвърждаване на въведените промени..."));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Отказ"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(275, 67, 75, 25);
    btnCancel->setToolTip(QStringLiteral("Отказ на въведените промени..."));
    // Esc rejects a QDialog by itself, which is what Отказ does.
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(rgSelect, btnOK);
    setTabOrder(btnOK, btnCancel);
}

int TfmSelectReport::SelectReport(const QString& vsName) {
    setWindowTitle(vsName);
    if (exec() != QDialog::Accepted)
        return -1;
    return itemIndex() == 0 ? 2 : 1;
}

int TfmSelectReport::itemIndex() const {
    return rgSelectItems->checkedId();
}

void TfmSelectReport::setItemIndex(int index) {
    rgSelectItems->button(index)->setChecked(true);
}

void TfmSelectReport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfmSelectReport::FormShow() {
    setItemIndex(0);
    rgSelectItems->button(0)->setFocus();
}
