// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QFrame>

class ErrorGuard;
class FieldEditBinding;
class QLabel;
class ValidatingEdit;
namespace data {
class DataSource;
}

// The captioned input of one tender or offer parameter: the caption on top, the value below.
// The tender describes the parameter by a type code (2 text, 3 number, anything else not in
// use) and, for a number, its decimal places; the frame is shown only for a parameter in use.
class TfrmParameter : public QFrame {
    Q_OBJECT
public:
    // Errors of the bidder's input are shown through `guard`.
    explicit TfrmParameter(ErrorGuard& guard, QWidget* parent = nullptr);

    // Sets the frame up from the parameter's descriptor: a text parameter is bound to the
    // column FieldPartName + "TEXT" and takes at most 255 characters, a number parameter to
    // FieldPartName + "NUMBER", as an integer for 0 decimals (or fewer) and otherwise as a
    // decimal number shown with FracPartCount places. A parameter not in use hides the frame
    // and detaches the edit. A column the dataset lacks is no error: the edit then stays
    // empty and takes no input, so nothing typed into it can go astray.
    void InitFrame(data::DataSource& DS, int ParamType, int FracPartCount,
                   const QString& FieldPartName, const QString& ParamName);

    // The data source the edit is attached to; none for a parameter not in use.
    data::DataSource* dataSource() const { return dataSource_; }
    // The field the edit is bound to; none when not in use or when binding failed.
    FieldEditBinding* binding() const { return binding_; }

    QLabel* lblParameter;
    ValidatingEdit* edtParam;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void bind(const QString& fieldName, const QString& caption);

    ErrorGuard& guard_;
    data::DataSource* dataSource_ = nullptr;
    FieldEditBinding* binding_ = nullptr;
};
