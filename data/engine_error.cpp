// SPDX-License-Identifier: Apache-2.0
#include "data/engine_error.h"

#include "data/output_file.h"

namespace data {

bool isAboutAValue(const jet::Error& error) {
    using Kind = jet::Error::Kind;
    switch (error.kind()) {
    case Kind::TooLong:
    case Kind::OutOfRange:
    case Kind::WrongType:
    case Kind::Unchangeable:
        return true;
    default:
        return false;
    }
}

QString bidderMessage(const jet::Error& error) {
    using Kind = jet::Error::Kind;
    const QString file = QString::fromStdString(error.file());
    const QString column = QString::fromStdString(error.column());
    switch (error.kind()) {
    case Kind::System:
        return QStringLiteral("Файлът „%1“ не е достъпен: %2.")
            .arg(file, systemReason(error.systemError()));
    case Kind::NotAFile:
        return QStringLiteral("Файлът „%1“ не е достъпен: това не е обикновен файл.").arg(file);
    case Kind::ReadOnly:
        return QStringLiteral("Файлът „%1“ е отворен само за четене: промяната не е записана.")
            .arg(file);
    case Kind::Replaced:
        return QStringLiteral("Файлът „%1“ е изтрит или заменен от друга програма, докато беше "
                              "отворен: промяната не е записана. Отворете файла отново.")
            .arg(file);
    case Kind::TooLong:
        if (column.isEmpty())
            return QStringLiteral("С новите стойности записът става по-дълъг от %1 байта, "
                                  "колкото файлът побира в един запис: промяната не е записана.")
                .arg(error.limit());
        return QStringLiteral("Стойността на поле „%1“ е по-дълга от %2 знака, колкото побира "
                              "полето: промяната не е записана.")
            .arg(column)
            .arg(error.limit());
    case Kind::OutOfRange:
        return QStringLiteral("Стойността на поле „%1“ е извън обхвата, който полето побира: "
                              "промяната не е записана.")
            .arg(column);
    case Kind::WrongType:
        return QStringLiteral("Стойността на поле „%1“ не е от вида, който полето приема: "
                              "промяната не е записана.")
            .arg(column);
    case Kind::Unchangeable:
        return QStringLiteral("Поле „%1“ не се променя от програмата: промяната не е записана.")
            .arg(column);
    case Kind::SizeLimit:
        return QStringLiteral("Файлът на търга е достигнал най-големия размер, който форматът му "
                              "позволява (2 GB): промяната не е записана.");
    case Kind::Unsupported:
        return QStringLiteral("Файлът на търга е здрав, но е устроен така, че програмата не може "
                              "да запише тази промяна в него: промяната не е записана.\n"
                              "За поддръжката: %1")
            .arg(QString::fromStdString(error.what()));
    case Kind::Damage:
        break;
    }
    return QStringLiteral("Файлът на търга е повреден: програмата не може да го прочете или "
                          "промени.\nЗа поддръжката: %1")
        .arg(QString::fromStdString(error.what()));
}

} // namespace data
