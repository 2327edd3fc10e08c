// SPDX-License-Identifier: Apache-2.0
#include "ui/application_title.h"

namespace {

QString& storedTitle() {
    static QString title;
    return title;
}

} // namespace

QString applicationTitle() {
    return storedTitle();
}

void setApplicationTitle(const QString& title) {
    storedTitle() = title;
}
