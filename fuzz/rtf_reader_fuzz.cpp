// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the RTF reader, as a user may put any file in the place of the help
// text, both as the bytes of a file and as the text a template's rich view carries. false or
// a report::Error is the expected answer to what the reader will not take; anything else is a
// finding.

#include "report/error.h"
#include "report/rtf_reader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument document;
    try {
        report::readRtf(bytes, document);
    } catch (const report::Error&) {
    }
    try {
        report::readRtf(QString::fromUtf8(bytes), document);
    } catch (const report::Error&) {
    }
    return 0;
}
