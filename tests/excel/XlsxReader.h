#pragma once
// Reads an exported workbook back through openpyxl, an independent reader.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

inline QJsonObject ReadXlsx(const QString& path, QString* error = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(TESTS_SOURCE_DIR "/excel/read_xlsx.py"), path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        if (error)
            *error = QString::fromUtf8(p.readAllStandardError());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

inline QJsonObject FirstSheet(const QJsonObject& book)
{
    return book[QStringLiteral("sheets")].toArray().at(0).toObject();
}

inline QJsonObject CellOf(const QJsonObject& sheet, const QString& address)
{
    return sheet[QStringLiteral("cells")].toObject()[address].toObject();
}
