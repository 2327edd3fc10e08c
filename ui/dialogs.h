// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QDialog;

// Every modal question the program asks goes through here, so that windows and workflows can be
// driven by tests without a user at the screen.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A question with Yes and No; true for Yes.
    virtual bool confirm(const QString& text) = 0;
    // The same for a question that rests on a list too long for a message box, such as an
    // import's preview: `details` is shown beside the question, scrollable.
    virtual bool confirmWithDetails(const QString& text, const QString& details) = 0;
    // The same with a box beside the question that the bidder may tick, `choice` its text,
    // unticked at first: nothing for No, otherwise whether it was ticked.
    virtual std::optional<bool> confirmWithChoice(const QString& text, const QString& details,
                                                  const QString& choice) = 0;
    // An input problem, answered with OK.
    virtual void warning(const QString& text) = 0;
    // An error box with the error's text.
    virtual void error(const QString& text) = 0;
    // The same two for a message that rests on a list of any length, such as an import's
    // preview or outcome: `details` is shown below the text, scrollable, in a window that fits
    // the screen.
    virtual void warningWithDetails(const QString& text, const QString& details) = 0;
    virtual void errorWithDetails(const QString& text, const QString& details) = 0;
    // The offer type: 2 price offer, 1 technical offer, -1 cancelled. `caption` titles the
    // question.
    virtual int chooseOfferType(const QString& caption) = 0;
    // A save-file dialog proposing `proposedPath`, listing the files that `filter` matches;
    // no prompt before replacing a file. An empty result means cancelled.
    virtual QString saveFileName(const QString& proposedPath, const QString& filter) = 0;
    // An open-file dialog starting in `folder`, listing the files that `filter` matches. An
    // empty result means cancelled.
    virtual QString openFileName(const QString& folder, const QString& filter) = 0;
    // Shows a report preview, the help window or the signing window modally and returns when
    // it has been closed.
    virtual void showPreview(QDialog& preview) = 0;
    // A PIN or password, typed without being shown, under `prompt`; nothing when cancelled.
    // The answer is neither kept nor shown anywhere by the dialog.
    virtual std::optional<QByteArray> askPin(const QString& prompt) = 0;
};

// The dialogs on screen.
class QtDialogs : public Dialogs {
public:
    // The offer type dialog is a window of its own, made at start-up; it answers through this.
    using OfferTypeChooser = std::function<int(const QString& caption)>;
    void setOfferTypeChooser(OfferTypeChooser chooser) { offerTypeChooser_ = std::move(chooser); }

    bool confirm(const QString& text) override;
    bool confirmWithDetails(const QString& text, const QString& details) override;
    std::optional<bool> confirmWithChoice(const QString& text, const QString& details,
                                          const QString& choice) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    void warningWithDetails(const QString& text, const QString& details) override;
    void errorWithDetails(const QString& text, const QString& details) override;
    int chooseOfferType(const QString& caption) override;
    QString saveFileName(const QString& proposedPath, const QString& filter) override;
    QString openFileName(const QString& folder, const QString& filter) override;
    void showPreview(QDialog& preview) override;
    std::optional<QByteArray> askPin(const QString& prompt) override;

private:
    OfferTypeChooser offerTypeChooser_;
};
