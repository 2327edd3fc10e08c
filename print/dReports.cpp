#include "print/dReports.h"

TdmReports::TdmReports(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("dmReports"));
}
