// SPDX-License-Identifier: Apache-2.0
#include "ui/wait_progress.h"

WaitProgress::WaitProgress(QWidget* parent, QString label, std::chrono::milliseconds delay)
    : parent_(parent), label_(std::move(label)), delay_(delay) {
    clock_.start();
}

WaitProgress::~WaitProgress() {
    delete dialog_;
}

bool WaitProgress::report(int done, int total) {
    if (dialog_ == nullptr) {
        if (clock_.elapsed() < delay_.count())
            return true;
        dialog_ = new QProgressDialog(parent_);
        dialog_->setWindowTitle(QStringLiteral("BRX Client"));
        dialog_->setLabelText(label_);
        dialog_->setCancelButtonText(QStringLiteral("Отказ"));
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
    }
    dialog_->setMaximum(total);
    // A window-modal dialog handles the pending events here: it is drawn, and a press of Cancel
    // is seen, while the work goes on.
    dialog_->setValue(done);
    return !dialog_->wasCanceled();
}
