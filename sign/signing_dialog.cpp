// SPDX-License-Identifier: Apache-2.0
#include "sign/signing_dialog.h"

#include "sign/verification.h"
#include "ui/captions.h"
#include "ui/dialogs.h"
#include "ui/error_guard.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sign {

namespace {

const QString kKeyFileFilter =
    QStringLiteral("Ключ и сертификат (*.p12 *.pfx);;Всички файлове (*)");
const QString kAnyFileFilter = QStringLiteral("Всички файлове (*)");

QString folderOf(const QString& path) {
    return path.isEmpty() ? QDir::currentPath() : QFileInfo(path).absolutePath();
}

} // namespace

SigningDialog::SigningDialog(ErrorGuard& guard, const QString& proposedFile, QWidget* parent)
    : QDialog(parent), guard_(guard) {
    setObjectName(QStringLiteral("SigningDialog"));
    setWindowTitle(QStringLiteral("Подписване"));
    edtFile = new QLineEdit(proposedFile, this);
    edtFile->setObjectName(QStringLiteral("edtFile"));
    btnFile = new QPushButton(QStringLiteral("Избор..."), this);
    lstCertificates = new QListWidget(this);
    lstCertificates->setObjectName(QStringLiteral("lstCertificates"));
    btnRefresh = new QPushButton(QStringLiteral("Обновяване"), this);
    btnRefresh->setToolTip(QStringLiteral("Чете отново сертификатите на поставените карти"));
    btnKeyFile = new QPushButton(QStringLiteral("От файл .p12/.pfx..."), this);
    memDetails = new QPlainTextEdit(this);
    memDetails->setObjectName(QStringLiteral("memDetails"));
    memDetails->setReadOnly(true);
    lblResult = new QLabel(this);
    lblResult->setObjectName(QStringLiteral("lblResult"));
    lblResult->setWordWrap(true);
    lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnSign = new QPushButton(QStringLiteral("Подписване"), this);
    btnSign->setObjectName(QStringLiteral("btnSign"));
    btnVerify = new QPushButton(QStringLiteral("Проверка на подписа"), this);
    btnClose = new QPushButton(QStringLiteral("Затваряне"), this);
    edtTrust = new QLineEdit(this);
    edtTrust->setObjectName(QStringLiteral("edtTrust"));
    edtTrust->setPlaceholderText(QStringLiteral("доверените издатели на системата"));
    btnTrust = new QPushButton(QStringLiteral("Избор..."), this);

    // Enter in a field presses nothing: signing and every choice is a deliberate click.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);

    // Each field is named by the caption before it.
    const auto captioned = [this](const QString& caption, QWidget& input) {
        auto* label = new QLabel(caption, this);
        tieCaption(*label, input);
        return label;
    };
    memDetails->setAccessibleName(QStringLiteral("Данни на сертификата"));
    auto* grid = new QGridLayout;
    grid->addWidget(captioned(QStringLiteral("Файл:"), *edtFile), 0, 0);
    grid->addWidget(edtFile, 0, 1);
    grid->addWidget(btnFile, 0, 2);
    grid->addWidget(captioned(QStringLiteral("Сертификат:"), *lstCertificates), 1, 0, Qt::AlignTop);
    grid->addWidget(lstCertificates, 1, 1);
    auto* certificateButtons = new QVBoxLayout;
    certificateButtons->addWidget(btnRefresh);
    certificateButtons->addWidget(btnKeyFile);
    certificateButtons->addStretch();
    grid->addLayout(certificateButtons, 1, 2);
    grid->addWidget(memDetails, 2, 1);
    grid->addWidget(captioned(QStringLiteral("Доверени издатели\nза проверката:"), *edtTrust), 3,
                    0);
    grid->addWidget(edtTrust, 3, 1);
    grid->addWidget(btnTrust, 3, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSign);
    buttons->addWidget(btnVerify);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(lblResult);
    layout->addLayout(buttons);
    resize(760, 480);

    const auto guarded = [this](void (SigningDialog::*handler)()) {
        return [this, handler] { guard_.run([this, handler] { (this->*handler)(); }); };
    };
    connect(btnFile, &QPushButton::clicked, this, guarded(&SigningDialog::btnFileClick));
    connect(btnRefresh, &QPushButton::clicked, this, guarded(&SigningDialog::readTokens));
    connect(btnKeyFile, &QPushButton::clicked, this, guarded(&SigningDialog::btnKeyFileClick));
    connect(btnSign, &QPushButton::clicked, this, guarded(&SigningDialog::btnSignClick));
    connect(btnVerify, &QPushButton::clicked, this, guarded(&SigningDialog::btnVerifyClick));
    connect(btnTrust, &QPushButton::clicked, this, guarded(&SigningDialog::btnTrustClick));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lstCertificates, &QListWidget::currentRowChanged, this, [this] { showChoice(); });
    connect(edtFile, &QLineEdit::textChanged, this, [this] { showChoice(); });
    connect(edtFile, &QLineEdit::editingFinished, this, [this] { markStaleSignature(); });
    guard_.run([this] { readTokens(); });
    showChoice();
    markStaleSignature();
}

SigningDialog::~SigningDialog() = default;

void SigningDialog::readTokens() {
    std::vector<Choice> kept;
    for (Choice& choice : choices_)
        if (!choice.onToken)
            kept.push_back(std::move(choice));
    choices_.clear();
    lstCertificates->clear();
    for (TokenCertificate& certificate : tokenCertificates()) {
        const CertificateInfo info = certificate.certificate;
        const QString label = certificate.tokenLabel;
        kept.push_back({info, label, std::move(certificate), QString()});
    }
    for (Choice& choice : kept)
        addChoice(std::move(choice));
    if (lstCertificates->count() > 0 && lstCertificates->currentRow() < 0)
        lstCertificates->setCurrentRow(0);
}

void SigningDialog::addChoice(Choice choice) {
    const CertificateInfo& certificate = choice.certificate;
    const QString caption =
        QStringLiteral("%1 — %2 (до %3)")
            .arg(certificate.subject, choice.place, momentText(certificate.notAfter));
    choices_.push_back(std::move(choice));
    lstCertificates->addItem(caption);
}

const SigningDialog::Choice* SigningDialog::chosen() const {
    const int row = lstCertificates->currentRow();
    return row >= 0 && row < int(choices_.size()) ? &choices_[std::size_t(row)] : nullptr;
}

void SigningDialog::showChoice() {
    const Choice* choice = chosen();
    QString refusal;
    if (!choice) {
        memDetails->setPlainText(
            QStringLiteral("Няма сертификат за подписване на поставените карти. Поставете "
                           "картата и натиснете „Обновяване“ или изберете файл .p12/.pfx."));
    } else {
        refusal = signingRefusal(choice->certificate, QDateTime::currentDateTimeUtc());
        QString text =
            certificateText(choice->certificate) + QStringLiteral("\nНосител: ") + choice->place;
        if (!refusal.isEmpty())
            text += QStringLiteral("\n\nНе може да се подписва с него: ") + refusal;
        memDetails->setPlainText(text);
    }
    btnSign->setEnabled(choice && refusal.isEmpty() && !edtFile->text().trimmed().isEmpty());
    btnVerify->setEnabled(!edtFile->text().trimmed().isEmpty());
}

void SigningDialog::btnFileClick() {
    const QString path = guard_.dialogs().openFileName(folderOf(edtFile->text()), kAnyFileFilter);
    if (path.isEmpty())
        return;
    edtFile->setText(path);
    markStaleSignature();
}

std::unique_ptr<SigningKey> SigningDialog::openKeyFile(const QString& path) {
    std::optional<QByteArray> password =
        guard_.dialogs().askPin(QStringLiteral("Парола за „%1“:").arg(QFileInfo(path).fileName()));
    if (!password)
        return nullptr;
    std::unique_ptr<SigningKey> key = SigningKey::fromKeyFile(path, *password);
    password->fill('\0');
    return key;
}

void SigningDialog::btnKeyFileClick() {
    const QString path = guard_.dialogs().openFileName(folderOf(edtFile->text()), kKeyFileFilter);
    if (path.isEmpty())
        return;
    // The password opens the file to show its certificate; the key is not kept.
    const std::unique_ptr<SigningKey> key = openKeyFile(path);
    if (!key)
        return;
    addChoice({key->certificate(), QFileInfo(path).fileName(), std::nullopt, path});
    lstCertificates->setCurrentRow(lstCertificates->count() - 1);
}

void SigningDialog::btnSignClick() {
    const Choice* choice = chosen();
    const QString path = edtFile->text().trimmed();
    if (!choice || path.isEmpty())
        return;
    lblResult->clear();
    // Checked again here, not only when chosen: the dialog may have stood open past midnight.
    if (const QString refusal =
            signingRefusal(choice->certificate, QDateTime::currentDateTimeUtc());
        !refusal.isEmpty())
        throw data::Error(refusal);
    std::unique_ptr<SigningKey> key;
    if (choice->onToken) {
        try {
            key = SigningKey::onToken(*choice->onToken, [this](const QString& prompt) {
                return guard_.dialogs().askPin(prompt);
            });
        } catch (const Cancelled&) {
            return;
        }
    } else {
        key = openKeyFile(choice->keyFile);
        if (!key)
            return;
        if (key->certificate().der != choice->certificate.der)
            throw data::Error(QStringLiteral("Сертификатът в „%1“ вече не е показаният: изберете "
                                             "файла отново.")
                                  .arg(choice->keyFile));
    }
    const QString written = signFile(*key, path);
    lblResult->setText(QStringLiteral("Подписът е записан в „%1“.").arg(written));
}

void SigningDialog::btnVerifyClick() {
    const QString path = edtFile->text().trimmed();
    if (path.isEmpty())
        return;
    QString signature = signaturePath(path);
    if (!QFileInfo::exists(signature))
        signature = guard_.dialogs().openFileName(
            folderOf(path), QStringLiteral("Подпис (*.p7s);;") + kAnyFileFilter);
    if (signature.isEmpty())
        return;
    const Verification verification = verifyFile(path, signature, edtTrust->text().trimmed());
    memDetails->setPlainText(verification.text());
    lblResult->setText(verification.allHold()
                           ? QStringLiteral("Подписът е валиден.")
                           : QStringLiteral("Подписът НЕ е потвърден: вижте причините горе."));
}

void SigningDialog::markStaleSignature() {
    lblResult->clear();
    const QString path = edtFile->text().trimmed();
    const QString signature = signaturePath(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !QFileInfo(signature).isFile())
        return;
    bool matches = false;
    try {
        matches = verifyFile(path, signature).contentIntact;
    } catch (const data::Error&) {
        // A signature that does not even read matches nothing.
    }
    if (!matches)
        lblResult->setText(QStringLiteral("Подписът „%1“ не отговаря на файла: файлът е променян "
                                          "след подписването. Подпишете го отново.")
                               .arg(signature));
}

void SigningDialog::btnTrustClick() {
    const QString path = guard_.dialogs().openFileName(
        folderOf(edtTrust->text().isEmpty() ? edtFile->text() : edtTrust->text()),
        QStringLiteral("Сертификати (*.pem *.crt *.cer *.der);;") + kAnyFileFilter);
    if (!path.isEmpty())
        edtTrust->setText(path);
}

} // namespace sign
