// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "ui/opening_progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include <chrono>

class QWidget;

// Shows how far a wait the bidder may stop has come, with a Cancel button, but only once it has
// lasted longer than `delay`, as the opening of a tender does. Lives for the one wait.
class WaitProgress {
public:
    WaitProgress(QWidget* parent, QString label,
                 std::chrono::milliseconds delay = OpeningProgress::kDefaultDelay);
    ~WaitProgress();
    WaitProgress(const WaitProgress&) = delete;
    WaitProgress& operator=(const WaitProgress&) = delete;

    // `done` of `total` steps; false once the bidder has pressed Cancel.
    bool report(int done, int total);
    // The dialog, once shown; nullptr before.
    QProgressDialog* dialog() const { return dialog_; }

private:
    QWidget* parent_;
    QString label_;
    std::chrono::milliseconds delay_;
    QElapsedTimer clock_;
    QPointer<QProgressDialog> dialog_;
};
