// SPDX-License-Identifier: Apache-2.0
#include "ui/dialogs.h"

#include "data/error.h"
#include "ui/application_title.h"
#include "ui/captions.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

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

// A message and a list of any length under it: the list scrolls, and the window is never larger
// than the screen it opens on, so that its OK is always in reach.
void showWithDetails(QStyle::StandardPixmap icon, const QString& title, const QString& text,
                     const QString& details) {
    QDialog dialog(activeWindow());
    dialog.setObjectName(QStringLiteral("DetailsDialog"));
    dialog.setWindowTitle(title);
    auto* head = new QHBoxLayout;
    auto* iconLabel = new QLabel(&dialog);
    const int iconSize = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    iconLabel->setPixmap(dialog.style()->standardIcon(icon).pixmap(iconSize, iconSize));
    iconLabel->setAlignment(Qt::AlignTop);
    auto* label = new QLabel(text, &dialog);
    label->setWordWrap(true);
    head->addWidget(iconLabel);
    head->addWidget(label, 1);
    auto* list = new QPlainTextEdit(details, &dialog);
    list->setObjectName(QStringLiteral("details"));
    list->setReadOnly(true);
    // The message captions the list, which is read first.
    tieCaption(*label, *list);
    list->setFocus();
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("Добре"), QDialogButtonBox::AcceptRole)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(head);
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    const QScreen* screen =
        activeWindow() ? activeWindow()->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 0.8 : QSize(720, 520);
    dialog.setMaximumSize(room);
    dialog.resize(QSize(720, 520).boundedTo(room));
    dialog.exec();
}

} // namespace

bool QtDialogs::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Потвърждение"), text,
                    QMessageBox::NoButton, activeWindow());
    return askYesOrNo(box);
}

namespace {

// A preview runs to hundreds of lines: they are read in a list that grows with the window,
// where a message box would hold them in a few lines of its own size. With `choice`, a box the
// bidder may tick stands between the question and the list. Nothing for No.
std::optional<bool> askWithDetails(const QString& text, const QString& details,
                                   const QString& choice) {
    QDialog dialog(activeWindow());
    dialog.setObjectName(QStringLiteral("ConfirmWithDetails"));
    dialog.setWindowTitle(QStringLiteral("Потвърждение"));
    dialog.setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(&dialog);
    auto* question = new QLabel(text, &dialog);
    question->setWordWrap(true);
    layout->addWidget(question);
    QCheckBox* box = nullptr;
    if (!choice.isEmpty()) {
        box = new QCheckBox(choice, &dialog);
        box->setObjectName(QStringLiteral("choice"));
        layout->addWidget(box);
    }
    auto* list = new QPlainTextEdit(details, &dialog);
    list->setObjectName(QStringLiteral("details"));
    list->setReadOnly(true);
    layout->addWidget(list, 1);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* yes = buttons->addButton(QStringLiteral("Да"), QDialogButtonBox::YesRole);
    buttons->addButton(QStringLiteral("Не"), QDialogButtonBox::NoRole);
    yes->setDefault(true);
    // The question captions the preview, which is read first; Enter still answers Yes.
    tieCaption(*question, *list);
    list->setFocus();
    bool confirmed = false;
    QObject::connect(buttons, &QDialogButtonBox::clicked, &dialog, [&](QAbstractButton* button) {
        confirmed = button == yes;
        dialog.done(confirmed ? QDialog::Accepted : QDialog::Rejected);
    });
    layout->addWidget(buttons);
    dialog.resize(720, 480);
    dialog.exec();
    if (!confirmed)
        return std::nullopt;
    return box != nullptr && box->isChecked();
}

} // namespace

bool QtDialogs::confirmWithDetails(const QString& text, const QString& details) {
    return askWithDetails(text, details, QString()).has_value();
}

std::optional<bool> QtDialogs::confirmWithChoice(const QString& text, const QString& details,
                                                 const QString& choice) {
    return askWithDetails(text, details, choice);
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

void QtDialogs::warningWithDetails(const QString& text, const QString& details) {
    showWithDetails(QStyle::SP_MessageBoxWarning, QStringLiteral("Внимание"), text, details);
}

void QtDialogs::errorWithDetails(const QString& text, const QString& details) {
    showWithDetails(QStyle::SP_MessageBoxCritical, applicationTitle(), text, details);
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

std::optional<QByteArray> QtDialogs::askPin(const QString& prompt) {
    QDialog dialog(activeWindow());
    dialog.setObjectName(QStringLiteral("PinDialog"));
    dialog.setWindowTitle(QStringLiteral("ПИН код"));
    auto* label = new QLabel(prompt, &dialog);
    auto* pin = new QLineEdit(&dialog);
    pin->setObjectName(QStringLiteral("pin"));
    // Never shown, not even as the characters are typed, and never copied out.
    pin->setEchoMode(QLineEdit::Password);
    pin->setContextMenuPolicy(Qt::NoContextMenu);
    pin->setDragEnabled(false);
    tieCaption(*label, *pin);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("Добре"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Отказ"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addWidget(pin);
    layout->addWidget(buttons);
    pin->setFocus();
    const bool accepted = dialog.exec() == QDialog::Accepted;
    std::optional<QByteArray> answer;
    if (accepted)
        answer = pin->text().toUtf8();
    pin->clear();
    return answer;
}
