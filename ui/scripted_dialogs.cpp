// SPDX-License-Identifier: Apache-2.0
#include "ui/scripted_dialogs.h"

#include <QDialog>

namespace {

template <typename T> T take(std::deque<T>& answers, T unanswered, bool& answered) {
    answered = !answers.empty();
    if (!answered)
        return unanswered;
    T answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

bool ScriptedDialogs::confirm(const QString& text) {
    bool answered = false;
    const bool answer = take(confirmAnswers, false, answered);
    asked.push_back({Kind::Confirm, text, answered});
    return answer;
}

bool ScriptedDialogs::confirmWithDetails(const QString& text, const QString& details) {
    return confirm(text + QStringLiteral("\n\n") + details);
}

std::optional<bool> ScriptedDialogs::confirmWithChoice(const QString& text, const QString& details,
                                                       const QString& choice) {
    if (!confirm(text + QStringLiteral("\n\n") + choice + QStringLiteral("\n\n") + details))
        return std::nullopt;
    bool answered = false;
    return take(choiceAnswers, false, answered);
}

void ScriptedDialogs::warning(const QString& text) {
    asked.push_back({Kind::Warning, text, true});
}

void ScriptedDialogs::error(const QString& text) {
    asked.push_back({Kind::Error, text, true});
}

void ScriptedDialogs::warningWithDetails(const QString& text, const QString& details) {
    warning(text + QStringLiteral("\n\n") + details);
}

void ScriptedDialogs::errorWithDetails(const QString& text, const QString& details) {
    error(text + QStringLiteral("\n\n") + details);
}

int ScriptedDialogs::chooseOfferType(const QString& caption) {
    bool answered = false;
    const int answer = take(offerTypeAnswers, -1, answered);
    asked.push_back({Kind::OfferType, caption, answered});
    return answer;
}

QString ScriptedDialogs::saveFileName(const QString& proposedPath, const QString&) {
    bool answered = false;
    const QString answer = take(saveFileAnswers, QString(), answered);
    asked.push_back({Kind::SaveFile, proposedPath, answered});
    return answer;
}

QString ScriptedDialogs::openFileName(const QString& folder, const QString&) {
    bool answered = false;
    const QString answer = take(openFileAnswers, QString(), answered);
    asked.push_back({Kind::OpenFile, folder, answered});
    return answer;
}

void ScriptedDialogs::showPreview(QDialog& preview) {
    asked.push_back({Kind::Preview, preview.windowTitle(), true});
}

std::optional<QByteArray> ScriptedDialogs::askPin(const QString& prompt) {
    asked.push_back({Kind::Pin, prompt, !pinAnswers.empty()});
    if (pinAnswers.empty() || pinAnswers.front().isNull()) {
        if (!pinAnswers.empty())
            pinAnswers.pop_front();
        return std::nullopt;
    }
    const QByteArray answer = pinAnswers.front();
    pinAnswers.pop_front();
    return answer;
}

QStringList ScriptedDialogs::texts(Kind kind) const {
    QStringList result;
    for (const Question& question : asked)
        if (question.kind == kind)
            result << question.text;
    return result;
}
