#pragma once
// The in-memory workbook as an .xlsx file (libxlsxwriter).
#include "journal/ExcelModel.h"

#include <QDateTime>
#include <QString>

// Writes the workbook to path, replacing what is there; texts stay texts.
// libxlsxwriter's scratch files go to tmpDir. On failure nothing is left at
// path and error says why.
bool WriteXlsx(const ExcelWorkbook& book, const QString& path, const QString& tmpDir,
               QString* error);

// Reserves a new file "<name> <yyyy-MM-dd HH-mm-ss>.xlsx" in folder, adding
// " (2)", " (3)", ... while that name is taken, so no file is ever
// overwritten. Returns its path, or empty with error set.
QString CreateWorkbookFile(const QString& folder, const QString& name, const QDateTime& when,
                           QString* error);
