#pragma once

#include "data/connection.h"

#include <QMainWindow>

#include <array>
#include <memory>

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
    // Connects the tender file of the working directory; a failure is shown in the error box
    // and the window is made all the same. Handlers run inside `guard`.
    explicit TfmMain(ErrorGuard& guard);
    ~TfmMain() override;

    // The window title and the application's title: the fixed prefix, the tender's name and
    // the company's name.
    void UpdateCaption();

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

    QTabWidget* pcMain;
    QWidget* tsInfo;
    QWidget* tsObosobeniPozicii;
    QWidget* tsGrid;
    QWidget* tsEdit;

    QFrame* pnlBottom;
    QPushButton* btnPrint;
    QPushButton* btnExport;
    QPushButton* btn1;
    QPushButton* btnExit;

    // Company page.
    QLabel* Label1;
    QLineEdit* edtfirma;
    QCheckBox* chk1;
    std::array<TfrmParameter*, 4> frmKParam;

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

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void pcMainChange();
    void btnExitClick();
    void btnPrintClick();
    void btn1Click();

    void createPages();
    // The company page and the rules of its fields, in company_page.cpp.
    QWidget* createInfoPage();
    void edtfirmaKeyPress(QChar& Key);
    void qrySpecsIME_NA_FIRMATAChange(data::Field& Sender);
    QString qrySpecsNO_DDSGetText(const data::Field& Sender, const QVariant& value) const;
    QWidget* createLotsPage();
    QWidget* createGridPage();
    QWidget* createEditPage();
    QFrame* createSpecPanel();
    QFrame* createInfoPanel(int first);
    QFrame* createOfferPanel();
    void createBottomPanel();

    void setUpPositionColumns();
    void setUpInfoRows();
    void fitHeightToOfferPanel();
    void centreOnScreen();

    ErrorGuard& guard_;
    bool shown_ = false;
};
