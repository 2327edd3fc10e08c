// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "data/connection.h"
#include "data/dataset.h"
#include "export/offer_export.h"

#include "tender_fixture.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace exporttest {

// A tender for offers: the company "ЕТ Иван"; tender parameters of every kind; offer parameters
// for the technical offer (PP2 text, PP4 number), for the price offer (the price, PP3 number),
// one not in use (PP5) and one in neither offer (PP6). Lots:
//   3  taken part in, three priced positions that sort 1, 2, 10 and carry text to escape;
//   5  taken part in, one position without a price;
//   7  taken part in, no positions;
//   9  not taken part in.
nlohmann::json offerTender();

// The tender file of `folder` opened read-write, with the main window's datasets and their
// rules, the lots standing on the lot whose code is given.
class OpenTender {
public:
    OpenTender(const QString& file, const QString& lotCode);

    OfferSources sources();
    void moveToLot(const QString& lotCode);

    data::Connection connection;
    std::unique_ptr<data::Dataset> qrySpecs;
    std::unique_ptr<data::Dataset> qryObosobeniPozicii;
    std::unique_ptr<data::Dataset> qryData;
};

// What the check of the whole offer finds in fixture::offerProblemsTender(), in its order.
struct ProblemLine {
    QString lot;
    QString position;
    QString field;
    QString message;
};
std::vector<ProblemLine> offerProblemLines();

QByteArray contents(const QString& path);
// The golden offer file `name` for the decimal separator of the system's regional settings.
QString goldenFile(const QString& offer);
// Empty when xmllint accepts the file, its complaint otherwise.
QString xmllintProblems(const QString& path);

} // namespace exporttest
