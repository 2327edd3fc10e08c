#include "export/fSelectReport.h"

TfmSelectReport::TfmSelectReport(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("fmSelectReport"));
    setWindowTitle(QStringLiteral("Избор на тип оферта"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(358, 100);
}
