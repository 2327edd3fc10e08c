// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the report engine as a template, as a user may put any file in the
// place of rep1.fr3: read it, then lay it out over two small datasets named as the printed
// offers name theirs. A report::Error is the expected answer to a template the engine will not
// take; anything else (a crash, a sanitizer report, a hang, another exception, memory beyond
// the limit) is a finding.

#include "report/error.h"
#include "report/layout.h"
#include "report/report_dataset.h"
#include "report/template_reader.h"

#include <QDateTime>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static report::ListDataset specs(QStringLiteral("Specs"),
                                     {QStringLiteral("IME"), QStringLiteral("NO_DDS")},
                                     {{QStringLiteral("Медикс ООД"), true}});
    static report::ListDataset positions(
        QStringLiteral("Data"), {QStringLiteral("IME"), QStringLiteral("PP1_NUMBER")},
        {{QStringLiteral("Марля"), 1.25}, {QStringLiteral("Бинт"), QVariant()}});
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const report::ReportModel model = report::readTemplate(xml, QStringLiteral("fuzz.fr3"));
        report::layOutReport(model, QDateTime(QDate(2026, 3, 9), QTime(8, 5, 7)));
    } catch (const report::Error&) {
    }
    return 0;
}
