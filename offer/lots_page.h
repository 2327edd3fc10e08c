// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "export/offer_check.h"

#include <QWidget>

#include <vector>

class DatasetTableModel;
class ErrorGuard;
class QPushButton;
class QTabWidget;
class QTableView;
namespace data {
class Connection;
class Dataset;
} // namespace data

namespace offer {

// What follows the current lot outside the lots page: the positions and edit pages with their
// tabs, and the two buttons that work on the lot's positions.
struct LotFollowers {
    QTabWidget* pages = nullptr;
    QWidget* positionsPage = nullptr;
    QWidget* editPage = nullptr;
    QPushButton* print = nullptr;
    QPushButton* exportOffer = nullptr;
    // The tender file and its tender record: the heads and file name of the lot's price list,
    // and where a filled one is imported.
    data::Connection* connection = nullptr;
    data::Dataset* tender = nullptr;
};

// The caption of the positions page for a lot taken part in: its code and its name, a name of
// 50 characters or more cut to its first 47 and "...".
QString positionsPageCaption(const QString& code, const QString& name);

// The file "Подписване..." proposes for the lot `lotCode`: of the offer files the export
// proposes for it (price and technical, XML or PDF) and the printed offer's proposed PDF, the one
// in `folder` written last. Empty when there is none.
QString proposedSigningFile(const QString& folder, const QString& companyName,
                            const QString& lotCode);

// The lots of the tender with their participation, counts and status, and the two operations
// that declare and withdraw participation. The lot the lots dataset stands on is the current
// lot; every move to another lot reopens the positions dataset on that lot's positions.
class LotsPage : public QWidget {
    Q_OBJECT
public:
    LotsPage(data::Dataset& lots, data::Dataset& positions, ErrorGuard& guard,
             QWidget* parent = nullptr);
    ~LotsPage() override;

    // Called once, when the main window has made all its controls and before the lots open.
    void follow(const LotFollowers& followers);

    // Reopens the positions on the current lot and sets buttons, pages and captions after it.
    // Without a lot (a tender without lots) nothing can be taken part in, printed or exported.
    void RefreshPozicii();
    void btnUchastieClick();
    void btnOtkazUchastieClick();
    void grdObPozDblClick();
    // Saves the current lot's price list as a sheet, for the bidder to fill in elsewhere.
    void btnCenovaTablicaClick();
    // "Проверка на офертата": asks the main window for the list of the offer's problems.
    void btnProverkaClick();
    // "Подписване...": the signing window, proposing the offer file last written for the lot.
    void btnPodpisvaneClick();
    // Imports prices and offer values from a filled price list the bidder chooses, after the
    // preview and the bidder's Yes, then reads the lots and the current lot's positions again.
    void btnImportClick();
    // Carries the offer from an older file of the same tender that the bidder chooses into this
    // one, after the preview and the bidder's Yes; then reads the tender record, the lots and the
    // current lot's positions again and hands on what is left to look at.
    void btnPrenasyaneClick();
    // Reads the lots again, so their counts and status follow what was stored, and stands on
    // the same lot and the same position of it as before.
    void rereadOnCurrentLot();

    QTableView* grdObPoz;
    DatasetTableModel* grdObPozModel;
    QPushButton* btnUchastie;
    QPushButton* btnOtkazUchastie;
    QPushButton* btnCenovaTablica;
    QPushButton* btnImport;
    QPushButton* btnPrenasyane;
    QPushButton* btnProverka;
    QPushButton* btnPodpisvane;

signals:
    // The bidder asked to see every problem of the offer.
    void offerCheckRequested();
    // An offer was carried from an older file: `stored` says what the file holds of it now,
    // `leftToLookAt` is what the carry could not settle.
    void offerCarried(const QString& stored, const std::vector<offercheck::Problem>& leftToLookAt);

private:
    bool hasLot() const;
    bool participating() const;
    // Writes the participation mark of the current lot and refreshes after it.
    void storeParticipation(const QVariant& mark);
    void keepFocusOnTheLots();

    data::Dataset& lots_;
    data::Dataset& positions_;
    ErrorGuard& guard_;
    LotFollowers followers_;
    // Off while the lots are read again, until the current lot is found.
    bool refreshing_ = true;
};

} // namespace offer
