// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

#include <chrono>
#include <cstddef>

class QWidget;
namespace data {
class Dataset;
} // namespace data

// Shows how far the opening of a dataset that reads a whole table has come, but only once the
// opening has taken longer than `delay`: a small tender opens without a flicker, a big one
// shows the bidder that the program works. Lives for the one opening; the dialog goes with it.
class OpeningProgress {
public:
    static constexpr std::chrono::milliseconds kDefaultDelay{500};

    OpeningProgress(data::Dataset& dataset, QWidget* parent,
                    std::chrono::milliseconds delay = kDefaultDelay);
    ~OpeningProgress();
    OpeningProgress(const OpeningProgress&) = delete;
    OpeningProgress& operator=(const OpeningProgress&) = delete;

    // The dialog, once shown; nullptr before.
    QProgressDialog* dialog() const { return dialog_; }

private:
    void report(std::size_t done, std::size_t total);

    data::Dataset& dataset_;
    QWidget* parent_;
    std::chrono::milliseconds delay_;
    QElapsedTimer clock_;
    QPointer<QProgressDialog> dialog_;
};
