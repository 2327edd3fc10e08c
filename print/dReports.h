#pragma once

#include <QObject>

// The reports module: the printed offers and the tender record they are printed from.
class TdmReports : public QObject {
    Q_OBJECT
public:
    explicit TdmReports(QObject* parent = nullptr);
};
