// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "sign/signing_key.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <vector>

class ErrorGuard;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace sign {

// "Подписване": the bidder chooses the file and the certificate (from the cards present or a
// .p12/.pfx file), sees the certificate, types the PIN in the program's own PIN dialog and gets
// FILE.p7s beside the file; or checks the signature beside a file.
class SigningDialog : public QDialog {
    Q_OBJECT
public:
    // `proposedFile`: the file offered for signing, empty for none.
    SigningDialog(ErrorGuard& guard, const QString& proposedFile, QWidget* parent = nullptr);
    ~SigningDialog() override;

    // Reads the certificates of the cards present again, for a card put in after opening.
    void readTokens();
    void btnFileClick();
    // Adds the certificate of a .p12/.pfx file the bidder chooses, after its password.
    void btnKeyFileClick();
    void btnSignClick();
    void btnVerifyClick();
    // The trust anchors a check uses: a file of certificates; without one, the system's.
    void btnTrustClick();

    QLineEdit* edtFile;
    QPushButton* btnFile;
    QListWidget* lstCertificates;
    QPushButton* btnRefresh;
    QPushButton* btnKeyFile;
    QPlainTextEdit* memDetails; // the chosen certificate, or what a check found
    QLabel* lblResult;
    QPushButton* btnSign;
    QPushButton* btnVerify;
    QLineEdit* edtTrust;
    QPushButton* btnTrust;
    QPushButton* btnClose;

private:
    // A certificate of the list: on a card, or in a .p12/.pfx file, whose password is asked
    // again for each signature, as the card's PIN is.
    struct Choice {
        CertificateInfo certificate;
        QString place; // the card's label or the file's name
        std::optional<TokenCertificate> onToken;
        QString keyFile;
    };

    // The key of the .p12/.pfx file `path` after its password; nothing when the bidder cancelled.
    std::unique_ptr<SigningKey> openKeyFile(const QString& path);
    void addChoice(Choice choice);
    void showChoice();
    const Choice* chosen() const;

    ErrorGuard& guard_;
    std::vector<Choice> choices_;
};

} // namespace sign
