#include "ui/dialogs.h"

#include "ui/application_title.h"
#include "data/error.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QWidget* activeWindow() {
    return QApplication::activeWindow();
}

bool askYesOrNo(QMessageBox& box) {
    QPushButton* yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Не"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace

bool QtDialogs::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Потвърждение"), text,
                    QMessageBox::NoButton, activeWindow());
    return askYesOrNo(box);
}

bool QtDialogs::confirmWithDetails(const QString& text, const QString& details) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Потвърждение"), text,
                    QMessageBox::NoButton, activeWindow());
    box.setDetailedText(details);
    return askYesOrNo(box);
}

void QtDialogs::warning(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Внимание"), text, QMessageBox::Ok,
                    activeWindow());
    box.exec();
}

void QtDialogs::error(const QString& text) {
    QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok,
                    activeWindow());
    box.exec();
}

int QtDialogs::chooseOfferType(const QString& caption) {
    if (!offerTypeChooser_)
        throw data::Error(QStringLiteral("Изборът на тип оферта не е наличен."));
    return offerTypeChooser_(caption);
}

QString QtDialogs::saveFileName(const QString& proposedPath, const QString& filter) {
    return QFileDialog::getSaveFileName(activeWindow(), QString(), proposedPath, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString QtDialogs::openFileName(const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(activeWindow(), QString(), folder, filter);
}

void QtDialogs::showPreview(QDialog& preview) {
    preview.exec();
}
