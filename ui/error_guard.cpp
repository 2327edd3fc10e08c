// SPDX-License-Identifier: Apache-2.0
#include "ui/error_guard.h"

#include "ui/dialogs.h"

#include <QString>

#include <exception>

bool ErrorGuard::run(const std::function<void()>& handler) noexcept {
    QString message;
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
        message = QStringLiteral("Неочаквана грешка.");
    }
    try {
        dialogs_.error(message);
    } catch (...) {
        // Nothing is left to tell the bidder with; the program goes on all the same.
    }
    return false;
}
