// SPDX-License-Identifier: Apache-2.0
#include "offer/position_keys.h"

#include "data/dataset.h"
#include "ui/error_guard.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace offer {

void storeEditedPosition(data::Dataset& positions) {
    if (positions.state() == data::Dataset::State::Edit)
        positions.post();
}

void storeEditedRecords(data::Dataset& tender, data::Dataset& positions) {
    storeEditedPosition(positions);
    if (tender.state() == data::Dataset::State::Edit)
        tender.post();
}

PositionKeys::PositionKeys(data::Dataset& positions, ErrorGuard& guard, QObject* parent)
    : QObject(parent), positions_(positions), guard_(guard) {}

void PositionKeys::watch(QWidget& widget) {
    widget.installEventFilter(this);
}

bool PositionKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    return grdDataKeyPress(key) || grdDataKeyDown(*watched, key);
}

bool PositionKeys::grdDataKeyPress(const QKeyEvent& key) {
    if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter)
        return false;
    guard_.run([this] { storeEditedPosition(positions_); });
    return true;
}

bool PositionKeys::grdDataKeyDown(const QObject& watched, const QKeyEvent& key) const {
    switch (key.key()) {
    case Qt::Key_Insert:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Down: {
        const auto* grid = qobject_cast<const QAbstractItemView*>(&watched);
        return grid != nullptr && grid->model() != nullptr &&
               grid->currentIndex().row() >= grid->model()->rowCount() - 1;
    }
    default:
        return false;
    }
}

} // namespace offer
