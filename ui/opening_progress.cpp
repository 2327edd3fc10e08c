// SPDX-License-Identifier: Apache-2.0
#include "ui/opening_progress.h"

#include "data/dataset.h"

#include <QProgressDialog>

OpeningProgress::OpeningProgress(data::Dataset& dataset, QWidget* parent,
                                 std::chrono::milliseconds delay)
    : dataset_(dataset), parent_(parent), delay_(delay) {
    clock_.start();
    dataset_.onProgress = [this](std::size_t done, std::size_t total) { report(done, total); };
}

OpeningProgress::~OpeningProgress() {
    dataset_.onProgress = nullptr;
    delete dialog_;
}

void OpeningProgress::report(std::size_t done, std::size_t total) {
    if (dialog_ == nullptr) {
        if (clock_.elapsed() < delay_.count())
            return;
        dialog_ = new QProgressDialog(parent_);
        dialog_->setWindowTitle(QStringLiteral("BRX Client"));
        dialog_->setLabelText(QStringLiteral("Зареждане на обособените позиции…"));
        dialog_->setCancelButton(nullptr);
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
    }
    // Page counts fit an int: a Jet file holds at most 2 GB, half a million pages.
    dialog_->setMaximum(static_cast<int>(total));
    // A window-modal dialog handles the pending events here, so it is drawn while the reading
    // goes on and the window behind it takes no input.
    dialog_->setValue(static_cast<int>(done));
}
