// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QPointer>
#include <QWidget>

#include <array>

class ErrorGuard;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TfrmParameter;
namespace data {
class DataSource;
class Dataset;
} // namespace data

namespace offer {

// One position of the current lot: the tender's description of it above, the values the bidder
// offers below, and the row that moves to the previous, the next or a named position. Every
// move stores the position first, through its check; a refused check keeps the position.
class EditPage : public QWidget {
    Q_OBJECT
public:
    EditPage(data::DataSource& dsData, ErrorGuard& guard, QWidget* parent = nullptr);
    ~EditPage() override;

    // Fitting the page to the tender, once, when the main window is first shown: the offer
    // parameter frames, the captions, which information fields show, and the offer panel's
    // height. The last returns where the offer panel ends, with the hidden panels collapsed.
    void setUpOfferFrames(const data::Dataset& specs);
    void setCaptions(const data::Dataset& specs);
    void setUpInfoRows(const data::Dataset& specs);
    int fitOfferPanel();

    // "Предишен" works unless the positions stand at their beginning mark, "Следващ" unless at
    // their end mark.
    void UpdateNavButtons();
    void btnUpClick();
    void btnDownClick();
    void btnGoToClick();
    // Gives the focus back to the control of this page that had it last, after a refused leave.
    void restoreFocus();

    QFrame* pnlSpec;
    QLabel* lblCaptionKod;
    QLabel* lblCaptionProduct;
    QLabel* lblCaptionGodPotreblenie;
    QLabel* lblMaxCena;
    QLineEdit* edtKod;
    QLineEdit* edtMeranEd;
    QLineEdit* edtGodProtr;
    QPlainTextEdit* mmoIME;
    std::array<QFrame*, 4> pnlInfo; // pnlInfo12, pnlInfo34, pnlInfo56, pnlInfo78
    std::array<QLabel*, 8> lblInfo;
    std::array<QLineEdit*, 8> edtInfo;
    QFrame* pnlOferta;
    std::array<TfrmParameter*, 6> frmParameter;
    QPushButton* btnUp;
    QPushButton* btnDown;
    QLineEdit* edtGoTo;
    QPushButton* btnGoTo;

signals:
    // The keyboard focus went from this page to control `now` of the same window.
    void focusLeft(QWidget* now);
    // The keyboard focus came into this page.
    void focusEntered();

private:
    QFrame* createSpecPanel();
    QFrame* createInfoPanel(int first);
    QFrame* createOfferPanel();
    void createNavigation();
    void showPosition();
    void setTabOrder();
    void watchFocus(QWidget* old, QWidget* now);
    void focusFirstOfferedValue();

    data::DataSource& dsData_;
    data::Dataset& positions_;
    ErrorGuard& guard_;
    QPointer<QWidget> lastInput_;
};

} // namespace offer
