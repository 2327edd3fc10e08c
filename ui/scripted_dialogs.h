// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "ui/dialogs.h"

#include <QStringList>

#include <deque>
#include <vector>

// Dialogs for tests: answers are queued beforehand and every question is recorded. A question
// without a queued answer gets No, -1 or an empty file name and is marked as unanswered.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Confirm, Warning, Error, OfferType, SaveFile, OpenFile, Preview, Pin };
    struct Question {
        Kind kind;
        QString text;
        bool answered;
    };

    std::deque<bool> confirmAnswers;
    std::deque<bool> choiceAnswers; // whether the box of a confirmWithChoice is ticked
    std::deque<int> offerTypeAnswers;
    std::deque<QString> saveFileAnswers;
    std::deque<QString> openFileAnswers;
    std::deque<QByteArray> pinAnswers; // a null QByteArray() cancels
    std::vector<Question> asked;

    bool confirm(const QString& text) override;
    // Asked as a confirmation whose text is the question, an empty line and the details.
    bool confirmWithDetails(const QString& text, const QString& details) override;
    // Asked as a confirmation whose text is the question, the choice and the details, each
    // after an empty line; the box is ticked as choiceAnswers says, unticked without an answer.
    std::optional<bool> confirmWithChoice(const QString& text, const QString& details,
                                          const QString& choice) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    // Asked as a warning or an error whose text is the text, an empty line and the details.
    void warningWithDetails(const QString& text, const QString& details) override;
    void errorWithDetails(const QString& text, const QString& details) override;
    int chooseOfferType(const QString& caption) override;
    QString saveFileName(const QString& proposedPath, const QString& filter) override;
    QString openFileName(const QString& folder, const QString& filter) override;
    void showPreview(QDialog& preview) override;
    // Records the prompt, never the answer.
    std::optional<QByteArray> askPin(const QString& prompt) override;

    // The texts of the questions of one kind, in the order asked.
    QStringList texts(Kind kind) const;
    QStringList errors() const { return texts(Kind::Error); }
};
