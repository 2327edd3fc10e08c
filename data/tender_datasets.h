// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "data/dataset.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

namespace data {

class Connection;

// The order of lots and of a lot's positions: the code left-padded with ten zeros, of which the
// last ten characters count, compared as text. A null code has a null key, which comes first.
std::optional<QString> orderingKey(const QVariant& customCode);
bool orderedBefore(const QVariant& customCodeA, const QVariant& customCodeB);

// Throws Error naming the file when the connection's file holds no table SPECS or PREDLOGENIA:
// a database of something else, where no dataset of the tender can open.
void checkIsTender(const Connection& connection);

// The datasets of the main window and of the reports module. Each is closed when made.

// The tender record's descriptors of the tender parameters.
std::unique_ptr<Dataset> makeQrySpecsInit(Connection& connection);
// The tender record with _NO_DDS, "Да" or "Не" after NO_DDS.
std::unique_ptr<Dataset> makeQrySpecs(Connection& connection);
// The tender record as the reports see it: no limit codes and no _NO_DDS.
std::unique_ptr<Dataset> makeReportQrySpecs(Connection& connection);
// The lots with the totals of their positions, _CENA, _OBSHTA_CENA, _OBSHT_BROI_POZICII and
// _OFERIRANI_POZICII, each null when no position contributes, and the calculated _STATUS.
std::unique_ptr<Dataset> makeQryObosobeniPozicii(Connection& connection);
// The positions of the lot whose PRODUCT_CODE is the parameter MASTER_CODE (null or -1: none).
// Given `only`, just those of its fields, for a reader that needs no others: the columns of the
// rest, the memo among them, are then not read.
std::unique_ptr<Dataset> makeQryData(Connection& connection, const QStringList& only = {});

} // namespace data
