// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "export/offer_check.h"

#include <QDialog>

#include <functional>
#include <vector>

class ErrorGuard;
class QLabel;
class QPushButton;
class QTableWidget;

namespace offer {

// "Проверка на офертата": every problem of the offer in one list, lot by lot and position by
// position. Activating a line (double-click or Enter) hands its problem to the owner, which
// brings the bidder to the value to correct; the window stays open beside the main window, so
// that after the corrections "Обнови" shows what is left.
class OfferCheckWindow : public QDialog {
    Q_OBJECT
public:
    // `find` gives the problems as they stand now; `goTo` brings the bidder to one of them.
    // Both run inside `guard`.
    using Find = std::function<std::vector<offercheck::Problem>()>;
    using GoTo = std::function<void(const offercheck::Problem&)>;
    OfferCheckWindow(Find find, GoTo goTo, ErrorGuard& guard, QWidget* parent = nullptr);

    // Finds the problems again and lists them, the current line kept at its place. The list
    // stays as it was when finding fails.
    void btnObnoviClick();
    // Hands the problem of line `row` to the owner.
    void activateLine(int row);

    const std::vector<offercheck::Problem>& problems() const { return problems_; }
    // A note above the list, such as what a carry from another file stored; empty hides it.
    void setNote(const QString& note);

    QLabel* lblNote;
    QLabel* lblSummary;
    QTableWidget* grdProblems;
    QPushButton* btnObnovi;
    QPushButton* btnClose;

private:
    void list(std::vector<offercheck::Problem> problems);

    Find find_;
    GoTo goTo_;
    ErrorGuard& guard_;
    std::vector<offercheck::Problem> problems_;
};

} // namespace offer
