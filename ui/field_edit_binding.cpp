// SPDX-License-Identifier: Apache-2.0
#include "ui/field_edit_binding.h"

#include "data/dataset.h"
#include "ui/error_guard.h"

#include <QLineEdit>

FieldEditBinding::FieldEditBinding(QLineEdit& edit, data::DataSource& source,
                                   const QString& fieldName, ErrorGuard& guard,
                                   EditConversion conversion)
    : QObject(&edit), edit_(edit), source_(source), field_(source.dataset().fieldByName(fieldName)),
      guard_(guard), conversion_(std::move(conversion)) {
    data::Dataset& dataset = source.dataset();
    // Another record, or none: text typed for the one before is dropped, never handed to this one.
    const auto showAnotherRecord = [this] {
        modified_ = false;
        show();
    };
    connect(&dataset, &data::Dataset::reset, this, showAnotherRecord);
    connect(&dataset, &data::Dataset::scrolled, this, showAnotherRecord);
    connect(&dataset, &data::Dataset::recordChanged, this, [this](int record) {
        if (!modified_ && record == source_.dataset().recNo())
            show();
    });
    connect(&dataset, &data::Dataset::stateChanged, this, [this] {
        if (source_.dataset().state() != data::Dataset::State::Edit) {
            modified_ = false;
            show();
        }
    });
    connect(&edit, &QLineEdit::textEdited, this, [this] { guard_.run([this] { typed(); }); });
    connect(&edit, &QLineEdit::editingFinished, this,
            [this] { guard_.run([this] { handOver(); }); });
    dataset.addPendingInput(this, [this] { handOver(); });
    show();
}

void FieldEditBinding::show() {
    edit_.setText(conversion_.show ? conversion_.show(field_.value()) : field_.asString());
    edit_.setMaxLength(field_.size() > 0 ? field_.size() : 32767);
}

void FieldEditBinding::typed() {
    bool editing = false;
    try {
        editing = source_.edit();
    } catch (...) {
        show();
        throw;
    }
    if (editing)
        modified_ = true;
    else
        show();
}

void FieldEditBinding::handOver() {
    if (!modified_)
        return;
    const QString text = edit_.text();
    const QVariant value = conversion_.read ? conversion_.read(text)
                           : text.isEmpty() ? QVariant()
                                            : QVariant(text);
    // Cleared before the write so that the field's change shows back in the edit.
    modified_ = false;
    try {
        field_.setValue(value);
    } catch (...) {
        modified_ = true;
        throw;
    }
}
