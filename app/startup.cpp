// SPDX-License-Identifier: Apache-2.0
#include "app/startup.h"

#include "app/main_window.h"
#include "export/dMain.h"
#include "export/fSelectReport.h"
#include "print/dReports.h"
#include "print/fHelp.h"
#include "ui/error_guard.h"

ClientModules::ClientModules() = default;
ClientModules::ClientModules(ClientModules&&) noexcept = default;
ClientModules::~ClientModules() = default;

ClientModules createModules(ErrorGuard& guard) {
    ClientModules modules;
    guard.run([&] { modules.fmMain = std::make_unique<TfmMain>(guard); });
    guard.run([&] { modules.fmHelp = std::make_unique<TfmHelp>(); });
    guard.run([&] {
        if (!modules.fmMain)
            return;
        modules.dmReports = std::make_unique<TdmReports>(modules.fmMain->Connection,
                                                         *modules.fmMain->qryData, guard.dialogs());
        modules.fmMain->dmReports = modules.dmReports.get();
        modules.fmMain->fmHelp = modules.fmHelp.get();
        // A template that cannot be read is told, and the module stays with empty reports.
        modules.dmReports->DataModuleCreate();
    });
    guard.run([&] { modules.fmSelectReport = std::make_unique<TfmSelectReport>(); });
    guard.run([&] { modules.dmMain = std::make_unique<TdmMain>(); });
    return modules;
}
