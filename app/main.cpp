// SPDX-License-Identifier: Apache-2.0
#include "app/client_application.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "export/fSelectReport.h"
#include "ui/application_title.h"
#include "ui/dialogs.h"
#include "ui/error_guard.h"

#include <cstdio>
#include <string_view>

namespace {

const char* const kUsage = R"(Употреба: brx-client [--help | --version]

Подготовка на оферта за обществена поръчка. Възложителят дава на всеки участник
един тръжен файл DB.mdb (база данни на Access, формат Jet 4) с параметрите,
обособените позиции и позициите на поръчката. Клиентът се стартира в папката на
този файл (от файловия мениджър: с отваряне на DB.mdb) и отваря DB.mdb в текущата
папка. В него участникът въвежда данните на фирмата и цените и другите
предлагани стойности на позициите; всичко въведено се записва веднага във файла.
Клиентът записва XML файла на офертата, който участникът подава, и печата
ценовото или техническото предложение (с преглед, печат и запис в PDF).

Опции:
  --help     показва този текст
  --version  показва версията

Вижте също brx-offer(1) за същите действия от командния ред и tenderdb(1).
)";

} // namespace

int main(int argc, char** argv) {
    // Answered before the application starts, so that they need no display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::fputs("brx-client " BRX_VERSION "\n", stdout);
            return 0;
        }
    }
    ClientApplication application(argc, argv);
    setApplicationTitle(QStringLiteral("BRX Client"));
    // Ties the windows to the installed desktop entry (brx-client.desktop) on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("brx-client"));
    QtDialogs dialogs;
    ErrorGuard guard(dialogs);
    application.setErrorGuard(&guard);

    ClientModules modules = createModules(guard);
    if (modules.fmSelectReport != nullptr)
        dialogs.setOfferTypeChooser([&modules](const QString& caption) {
            return modules.fmSelectReport->SelectReport(caption);
        });
    if (modules.fmMain == nullptr)
        return 1; // without its main window the program has nothing to show
    modules.fmMain->show();
    return application.exec();
}
