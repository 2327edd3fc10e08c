// SPDX-License-Identifier: Apache-2.0
#include "print/fHelp.h"

#include "data/program_files.h"
#include "report/error.h"
#include "report/rtf_reader.h"
#include "ui/dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextEdit>

namespace {

// Plain text is UTF-8 when it reads as such, else the Cyrillic code page of the guide's RTF.
QString decodePlainText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text += report::fromCp1251(static_cast<unsigned char>(byte));
    return text;
}

} // namespace

TfmHelp::TfmHelp(QWidget* parent, ProgramFile programFile)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      edtHelp(new QTextEdit(this)), btnExit(new QPushButton(QStringLiteral("Изход"), this)),
      programFile_(programFile ? std::move(programFile) : ProgramFile(&data::programFilePath)) {
    setObjectName(QStringLiteral("fmHelp"));
    setWindowTitle(QStringLiteral("Помощ"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(636, 479);
    edtHelp->setGeometry(8, 8, 617, 433);
    edtHelp->setReadOnly(true);
    edtHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edtHelp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edtHelp->setLineWrapMode(QTextEdit::WidgetWidth);
    QFont defaultFont(QStringLiteral("MS Sans Serif"), 8);
    defaultFont.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
    edtHelp->document()->setDefaultFont(defaultFont);
    btnExit->setGeometry(536, 447, 89, 25);
    setTabOrder(btnExit, edtHelp);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmHelp::ShowHelp(Dialogs& dialogs) {
    LoadHelp(programFile_(QStringLiteral("Help Text.rtf")));
    // The text is read in at the cursor, which is left at its end; the guide is read from its top.
    edtHelp->moveCursor(QTextCursor::Start);
    edtHelp->verticalScrollBar()->setValue(0);
    dialogs.showPreview(*this);
}

void TfmHelp::LoadHelp(const QString& path) {
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    QFile file(fullPath);
    if (!file.open(QIODevice::ReadOnly))
        throw report::cannotOpenFile(fullPath, file.errorString());
    const QByteArray bytes = file.readAll();
    try {
        if (report::looksLikeRtf(bytes) && report::readRtf(bytes, *edtHelp->document()))
            return;
    } catch (const report::Error& refused) {
        throw report::Error(QStringLiteral("Помощният текст „%1“ не може да бъде показан: %2.")
                                .arg(fullPath, QString::fromUtf8(refused.what())));
    }
    if (bytes.contains('\0') || file.error() != QFileDevice::NoError) {
        edtHelp->clear();
        throw report::Error(QStringLiteral("Failed to Load Stream"));
    }
    edtHelp->setPlainText(decodePlainText(bytes));
}
