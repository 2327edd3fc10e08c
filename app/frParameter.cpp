#include "app/frParameter.h"

#include <QLabel>
#include <QLineEdit>

TfrmParameter::TfrmParameter(QWidget* parent)
    : QFrame(parent), lblParameter(new QLabel(this)), edtParam(new QLineEdit(this)) {
    setFixedHeight(37);
    edtParam->setStyleSheet(QStringLiteral("background-color: #E9FEE7;"));
}

void TfrmParameter::InitFrame(data::DataSource& DS, int ParamType, int /*FracPartCount*/,
                              const QString& /*FieldPartName*/, const QString& ParamName) {
    // The typed input and its binding to the parameter's column come with the frame's input
    // rules; what the main window's layout needs from the frame is whether it is shown.
    dataSource_ = &DS;
    const bool inUse = ParamType == 2 || ParamType == 3;
    lblParameter->setEnabled(inUse);
    edtParam->setEnabled(inUse);
    setVisible(inUse);
    if (inUse)
        lblParameter->setText(ParamName);
}

void TfrmParameter::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    lblParameter->setGeometry(0, 0, width(), 15);
    edtParam->setGeometry(0, 16, width(), 21);
}
