// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <functional>

class Dialogs;

// The general error handler. Every event handler of the program runs inside run(): an error it
// throws is shown in the error box with its text, and the program goes on. Nothing is thrown
// out of run(), so no exception reaches the Qt event loop.
class ErrorGuard {
public:
    explicit ErrorGuard(Dialogs& dialogs) : dialogs_(dialogs) {}

    // True when `handler` ran to its end.
    bool run(const std::function<void()>& handler) noexcept;

    Dialogs& dialogs() const { return dialogs_; }

private:
    Dialogs& dialogs_;
};
