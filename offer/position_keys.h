// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QObject>

class ErrorGuard;
class QKeyEvent;
class QWidget;
namespace data {
class Dataset;
}

namespace offer {

// Stores the position being edited, through its check; nothing when none is being edited.
void storeEditedPosition(data::Dataset& positions);

// Stores whatever is being edited before an action reads the file (an export, a print, a
// signature, a carry), so that what it reads is what the file holds: the position, through its
// check, whose refusal throws its message and so stops the action, then the tender record.
void storeEditedRecords(data::Dataset& tender, data::Dataset& positions);

// The keys that the lots grid, the positions grid and the edit page's fields share. Enter stores
// a position being edited, through its check; Insert and Delete do nothing, so no key adds or
// removes a row; Down on a grid's last row stays there instead of appending one.
class PositionKeys : public QObject {
    Q_OBJECT
public:
    PositionKeys(data::Dataset& positions, ErrorGuard& guard, QObject* parent = nullptr);

    // Hands the keys of `widget` to these rules.
    void watch(QWidget& widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when the key was handled here and goes no further.
    bool grdDataKeyPress(const QKeyEvent& key);
    bool grdDataKeyDown(const QObject& watched, const QKeyEvent& key) const;

    data::Dataset& positions_;
    ErrorGuard& guard_;
};

} // namespace offer
