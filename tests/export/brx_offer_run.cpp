// SPDX-License-Identifier: Apache-2.0
#include "brx_offer_run.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace exporttest {

ProgramRun brxOffer(const QStringList& arguments, const QString& folder, const QByteArray& locale,
                    const QString& program, int boundMs) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(locale));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(boundMs))
        return run;
    if (process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace exporttest
