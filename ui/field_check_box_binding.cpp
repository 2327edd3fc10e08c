// SPDX-License-Identifier: Apache-2.0
#include "ui/field_check_box_binding.h"

#include "data/dataset.h"
#include "ui/error_guard.h"

#include <QCheckBox>

FieldCheckBoxBinding::FieldCheckBoxBinding(QCheckBox& box, data::DataSource& source,
                                           const QString& fieldName, ErrorGuard& guard)
    : QObject(&box), box_(box), source_(source), field_(source.dataset().fieldByName(fieldName)),
      guard_(guard) {
    data::Dataset& dataset = source.dataset();
    connect(&dataset, &data::Dataset::reset, this, &FieldCheckBoxBinding::show);
    connect(&dataset, &data::Dataset::scrolled, this, &FieldCheckBoxBinding::show);
    connect(&dataset, &data::Dataset::stateChanged, this, &FieldCheckBoxBinding::show);
    connect(&dataset, &data::Dataset::recordChanged, this, [this](int record) {
        if (record == source_.dataset().recNo())
            show();
    });
    connect(&box, &QCheckBox::clicked, this,
            [this](bool ticked) { guard_.run([this, ticked] { clicked(ticked); }); });
    show();
}

void FieldCheckBoxBinding::show() {
    box_.setChecked(field_.asBoolean());
}

void FieldCheckBoxBinding::clicked(bool ticked) {
    try {
        if (!source_.edit()) {
            show();
            return;
        }
        field_.setValue(ticked);
    } catch (...) {
        show();
        throw;
    }
}
