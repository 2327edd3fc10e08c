#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
namespace data {
class DataSource;
}

// The captioned input of one tender or offer parameter: the caption on top, the value below.
// It is shown only for a parameter in use (type code 2, text, or 3, number).
class TfrmParameter : public QFrame {
    Q_OBJECT
public:
    explicit TfrmParameter(QWidget* parent = nullptr);

    // Sets the frame up from the parameter's descriptor; called once, at the first showing of
    // the main window.
    void InitFrame(data::DataSource& DS, int ParamType, int FracPartCount,
                   const QString& FieldPartName, const QString& ParamName);

    QLabel* lblParameter;
    QLineEdit* edtParam;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    data::DataSource* dataSource_ = nullptr;
};
