#include "app/main_window.h"
#include "ui/application_title.h"
#include "app/client_application.h"
#include "ui/dialogs.h"
#include "ui/error_guard.h"
#include "app/startup.h"
#include "export/fSelectReport.h"

int main(int argc, char** argv) {
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
