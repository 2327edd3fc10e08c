#include "app/client_application.h"

#include "app/error_guard.h"

ClientApplication::ClientApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ClientApplication::notify(QObject* receiver, QEvent* event) {
    if (guard_ == nullptr)
        return QApplication::notify(receiver, event);
    bool handled = false;
    guard_->run([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
