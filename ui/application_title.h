// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>

// The application's title: the name the program goes by before its main window is shown, then
// the main window's caption, and the title of its error boxes. It is kept here rather than as
// Qt's application display name, which Qt appends to the title of every window.
QString applicationTitle();
void setApplicationTitle(const QString& title);
