#include "print/fHelp.h"

#include <QPushButton>
#include <QTextEdit>

TfmHelp::TfmHelp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      edtHelp(new QTextEdit(this)), btnExit(new QPushButton(QStringLiteral("Изход"), this)) {
    setObjectName(QStringLiteral("fmHelp"));
    setWindowTitle(QStringLiteral("Помощ"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(636, 479);
    edtHelp->setGeometry(8, 8, 617, 433);
    edtHelp->setReadOnly(true);
    edtHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edtHelp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    btnExit->setGeometry(536, 447, 89, 25);
    setTabOrder(btnExit, edtHelp);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::reject);
}
