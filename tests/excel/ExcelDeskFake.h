#pragma once
// A desktop for TExcel that opens nothing and shows nothing, only records.
#include "journal/Excel.h"
#include "support/TempDir.h"

#include <QDir>
#include <QStringList>

struct FakeDesk {
    TempDir tmp;
    QStringList opened;    // files handed to the "spreadsheet program"
    QStringList reports;   // caption + "\n" + text of each error shown
    bool programFound = true;

    QString folder() const { return QString::fromStdString(tmp.path()); }
    QStringList files() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }

    ExcelDesk Make()
    {
        ExcelDesk d;
        d.tempDir = folder();
        d.open = [this](const QString& file) {
            opened << file;
            return programFound;
        };
        d.report = [this](const QString& caption, const QString& text) { reports << caption + "\n" + text; };
        return d;
    }
};
