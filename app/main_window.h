// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "data/connection.h"
#include "offer/edit_page.h"
#include "offer/lots_page.h"
#include "offer/positions_page.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <vector>

class DatasetReportSource;
class DatasetTableModel;
class ErrorGuard;
class TdmReports;
class TfmHelp;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class TfrmParameter;
class ValidatingEdit;
namespace offer {
class OfferCheckWindow;
}
namespace offercheck {
struct Problem;
}
namespace data {
class DataSource;
class Dataset;
class Field;
} // namespace data
namespace report {
class Report;
}

// The main window: it owns the connection and the datasets of the tender, the four pages
// through which the bidder works and the row of buttons below them. Closing it ends the
// program.
class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    // Connects the tender file of the working directory. Throws when it is missing, unreadable
    // or not a tender: the window is then not made. A file the user may not write is opened
    // read-only. Handlers run inside `guard`.
    explicit TfmMain(ErrorGuard& guard);
    ~TfmMain() override;

    // The window title and the application's title: the fixed prefix, the tender's name and
    // the company's name.
    void UpdateCaption();

    // Writes the offer file of the current lot, asking for the offer type and the path; the
    // result is always 0.
    int ExportXML();
    // Writes an offer file's `content` to `FileName` (byte order mark, CR LF lines), replacing
    // an earlier file only when the new one is complete; "Error Saving File" on failure.
    void SaveFile(const QString& FileName, const QString& content);

    data::Connection Connection;
    std::unique_ptr<data::Dataset> qrySpecsInit;
    std::unique_ptr<data::Dataset> qrySpecs;
    std::unique_ptr<data::Dataset> qryObosobeniPozicii;
    std::unique_ptr<data::Dataset> qryData;
    data::DataSource* dsSpecs;
    data::DataSource* dsData;
    data::DataSource* dsObosobeniPozcii;

    // The window's own report layouts and the report datasets over its datasets, which every
    // template may name.
    std::unique_ptr<DatasetReportSource> dsReportSpecs;
    std::unique_ptr<DatasetReportSource> dsReportData;
    std::unique_ptr<DatasetReportSource> dsReportOP;
    std::unique_ptr<report::Report> rptReport;
    std::unique_ptr<report::Report> rptReport2;
    std::unique_ptr<report::Report> rptReportAll;

    // The modules made after the window, on which its print and help buttons call.
    TdmReports* dmReports = nullptr;
    TfmHelp* fmHelp = nullptr;

    // The lots and positions of the current lot: the pages do the work; the window keeps the
    // names by which the rest of the program calls on them.
    void RefreshPozicii();
    bool PoziciaIsFill() const;
    void btnUchastieClick();
    void btnOtkazUchastieClick();
    void grdObPozDblClick();
    void grdDataDblClick();
    void UpdateNavButtons();
    void btnUpClick();
    void btnDownClick();
    void btnGoToClick();
    // Leaving the edit page: stores the position being edited, through its check, and reads the
    // lots again on the same lot, so counts, status, printing and export follow at once.
    void tsEditExit();

    // "Проверка на офертата": the window listing every problem of the offer, made at the first
    // request and kept beside the main window; each request lists the problems anew.
    void btnProverkaClick();
    // The problems as stored, after storing the position being edited through its check, with
    // the tender record's as it is being edited.
    std::vector<offercheck::Problem> findOfferProblems();
    // Brings the bidder to the value of `problem`: the company page's control for the tender's,
    // the lots page on the lot for a lot's, and for a position's the edit page on that position
    // with the value's input focused. The position being edited is stored or refused first, as
    // for any change of lot.
    void goToProblem(const offercheck::Problem& problem);
    offer::OfferCheckWindow* fmProverka = nullptr;
    // What the last carry from an older file stored, and what it left the bidder to look at
    // (changed descriptions, refused values); shown with the problems for the rest of the
    // session.
    QString carryStored_;
    std::vector<offercheck::Problem> carryLeftToLookAt_;

    QTabWidget* pcMain;
    QWidget* tsInfo;
    offer::LotsPage* tsObosobeniPozicii;
    offer::PositionsPage* tsGrid;
    offer::EditPage* tsEdit;

    QFrame* pnlBottom;
    QPushButton* btnPrint;
    QPushButton* btnExport;
    QPushButton* btn1;
    QPushButton* btnExit;

    // Company page.
    QLabel* Label1;
    ValidatingEdit* edtfirma;
    QCheckBox* chk1;
    std::array<TfrmParameter*, 4> frmKParam;

    // The pages' controls, under the names the rest of the program knows them by.
    // Lots page.
    QTableView* grdObPoz;
    DatasetTableModel* grdObPozModel;
    QPushButton* btnUchastie;
    QPushButton* btnOtkazUchastie;

    // Positions page.
    QTableView* grdData;
    DatasetTableModel* grdDataModel;

    // Edit page, stacked from the top.
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

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void pcMainChange();
    void btnExitClick();
    void btnPrintClick();
    void btn1Click();
    void btnExportClick();

    void createPages();
    // The company page and the rules of its fields, in company_page.cpp.
    QWidget* createInfoPage();
    void edtfirmaKeyPress(QChar& Key);
    void qrySpecsIME_NA_FIRMATAChange(data::Field& Sender);
    QString qrySpecsNO_DDSGetText(const data::Field& Sender, const QVariant& value) const;
    void nameTheControlsOfThePages();
    void createBottomPanel();
    void connectPages();
    void pageChosen(int index);
    void leaveEditPage();
    // Whether another page may be chosen: on the edit page its position is stored first; a
    // refusal keeps the page and gives the focus back to the input being edited.
    bool mayLeaveEditPage();
    void choosePageBeside(int step);
    void cancelPendingEdit();

    void fitHeightToOfferPanel();
    void keepOuterHeight();
    void centreOnScreen();

    ErrorGuard& guard_;
    bool shown_ = false;
    // The window's outer height, frame included, once fitted to the tender; 0 before.
    int outerHeight_ = 0;
    QWidget* previousPage_ = nullptr;
    // Set while the bidder is on the edit page and its leaving step has yet to run.
    bool onEditPage_ = false;
    // Set when the last try to leave the edit page was refused and told. A button below the
    // pages takes the focus from the page before it is clicked: the refusal of that leave is
    // all the click does, so that the bidder is told once, not again by the button's own work.
    bool leaveRefused_ = false;
};
