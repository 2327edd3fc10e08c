// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

class ErrorGuard;
class TdmMain;
class TdmReports;
class TfmHelp;
class TfmMain;
class TfmSelectReport;

// The windows and modules of the program, one of each, alive until it ends. One whose creation
// failed is missing; its error has been shown.
struct ClientModules {
    ClientModules();
    ClientModules(ClientModules&&) noexcept;
    ~ClientModules();

    std::unique_ptr<TfmMain> fmMain;
    std::unique_ptr<TfmHelp> fmHelp;
    std::unique_ptr<TdmReports> dmReports;
    std::unique_ptr<TfmSelectReport> fmSelectReport;
    std::unique_ptr<TdmMain> dmMain;
};

// Creates the main window (which connects the tender file), the help window, the reports
// module, the offer type dialog and the checks module, in this order; an error while creating
// one is shown and the next is created all the same. Without a tender file to open there is no
// main window, and the program ends after that one message.
ClientModules createModules(ErrorGuard& guard);
