// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "app/main_window.h"

#include <QDir>
#include <QScopeGuard>

#include <memory>

namespace apptest {

// The main window as the program starts: in the tender's folder, where it opens DB.mdb. The
// test's own working folder is restored afterwards.
inline std::unique_ptr<TfmMain> startClientIn(const QString& folder, ErrorGuard& guard) {
    const auto restore =
        qScopeGuard([started = QDir::currentPath()] { QDir::setCurrent(started); });
    QDir::setCurrent(folder);
    return std::make_unique<TfmMain>(guard);
}

} // namespace apptest
