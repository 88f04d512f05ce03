#include "journal/ExcelXlsx.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>

namespace {

// Excel keeps colours as 0x00BBGGRR, the file as RGB.
lxw_color_t ToRgb(int32_t colour)
{
    const uint32_t c = static_cast<uint32_t>(colour) & 0xFFFFFF;
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

uint8_t ToLxwBorder(ExcelEdge edge)
{
    const bool heavy = edge.weight == 4 || edge.weight == -4138;
    switch (edge.style) {
    case 1:  // continuous
        if (edge.weight == 1)
            return LXW_BORDER_HAIR;
        if (edge.weight == -4138)
            return LXW_BORDER_MEDIUM;
        if (edge.weight == 4)
            return LXW_BORDER_THICK;
        return LXW_BORDER_THIN;
    case -4115:
        return heavy ? LXW_BORDER_MEDIUM_DASHED : LXW_BORDER_DASHED;
    case 4:
        return heavy ? LXW_BORDER_MEDIUM_DASH_DOT : LXW_BORDER_DASH_DOT;
    case 5:
        return heavy ? LXW_BORDER_MEDIUM_DASH_DOT_DOT : LXW_BORDER_DASH_DOT_DOT;
    case -4118:
        return LXW_BORDER_DOTTED;
    case -4119:
        return LXW_BORDER_DOUBLE;
    case 13:
        return LXW_BORDER_SLANT_DASH_DOT;
    default:
        return LXW_BORDER_NONE;
    }
}

uint8_t ToLxwAlign(int alignment)
{
    switch (alignment) {
    case -4131: return LXW_ALIGN_LEFT;
    case -4108: return LXW_ALIGN_CENTER;
    case -4152: return LXW_ALIGN_RIGHT;
    case 5: return LXW_ALIGN_FILL;
    case -4130: return LXW_ALIGN_JUSTIFY;
    case 7: return LXW_ALIGN_CENTER_ACROSS;
    case -4117: return LXW_ALIGN_DISTRIBUTED;
    default: return LXW_ALIGN_NONE;
    }
}

// One lxw_format per distinct look; a journal has a handful.
class Formats {
public:
    Formats(lxw_workbook* wb, const ExcelWorkbook& book) : wb_(wb), book_(book) {}

    lxw_format* For(const ExcelSheet& sheet, int row, int column, const ExcelCell& cell)
    {
        const Key key{cell.fill,
                      cell.numberFormat,
                      cell.alignment,
                      ToLxwBorder(sheet.Left(row, column)),
                      ToLxwBorder(sheet.Top(row, column)),
                      ToLxwBorder(sheet.Right(row, column)),
                      ToLxwBorder(sheet.Bottom(row, column))};
        auto it = cache_.find(key);
        if (it != cache_.end())
            return it->second;
        lxw_format* f = workbook_add_format(wb_);
        if (f) {
            if (cell.fill >= 0)
                format_set_bg_color(f, ToRgb(cell.fill));
            if (cell.numberFormat != 0 && cell.numberFormat < book_.numberFormats.size())
                format_set_num_format(f, book_.numberFormats[cell.numberFormat].toUtf8().constData());
            if (cell.alignment != 0)
                format_set_align(f, ToLxwAlign(cell.alignment));
            format_set_left(f, std::get<3>(key));
            format_set_top(f, std::get<4>(key));
            format_set_right(f, std::get<5>(key));
            format_set_bottom(f, std::get<6>(key));
        }
        cache_.emplace(key, f);
        return f;
    }

private:
    using Key = std::tuple<int32_t, uint16_t, int16_t, uint8_t, uint8_t, uint8_t, uint8_t>;
    lxw_workbook* wb_;
    const ExcelWorkbook& book_;
    std::map<Key, lxw_format*> cache_;
};

QString ErrorText(lxw_error e)
{
    return QString::fromUtf8(lxw_strerror(e));
}

bool WriteSheet(lxw_workbook* wb, lxw_worksheet* ws, const ExcelSheet& sheet, Formats& formats,
                QString* error)
{
    for (int c = 1; c <= sheet.WidthCount(); ++c)
        if (sheet.ColumnWidth(c) > 0)
            worksheet_set_column(ws, c - 1, c - 1, sheet.ColumnWidth(c), nullptr);
    (void)wb;
    QByteArray utf8;
    for (int r = 1; r <= sheet.RowCount(); ++r) {
        const int columns = sheet.ColumnCount(r);
        for (int c = 1; c <= columns; ++c) {
            const ExcelCell* cell = sheet.Cell(r, c);
            if (!cell->used)
                continue;
            lxw_format* f = formats.For(sheet, r, c, *cell);
            utf8 = cell->value.toUtf8();
            // A string, never a formula: "=1+1" stays the operator's text.
            const lxw_error e = worksheet_write_string(ws, r - 1, c - 1, utf8.constData(), f);
            if (e != LXW_NO_ERROR) {
                *error = ErrorText(e);
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool WriteXlsx(const ExcelWorkbook& book, const QString& path, const QString& tmpDir, QString* error)
{
    QString scratch;
    if (error == nullptr)
        error = &scratch;
    if (book.sheets.empty()) {
        *error = QStringLiteral("в книге нет листов");
        return false;
    }
    // Written beside the target and moved over it once complete, so a failed
    // write never leaves half a file where the workbook should be.
    const QString part = path + QStringLiteral(".part");
    const QByteArray partName = QFile::encodeName(part);
    QByteArray tmp = QFile::encodeName(tmpDir);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go out in order: little memory
    options.tmpdir = tmpDir.isEmpty() ? nullptr : tmp.data();
    lxw_workbook* wb = workbook_new_opt(partName.constData(), &options);
    if (!wb) {
        *error = QStringLiteral("не удалось создать книгу");
        return false;
    }
    Formats formats(wb, book);
    bool ok = true;
    for (const ExcelSheet& sheet : book.sheets) {
        lxw_worksheet* ws = workbook_add_worksheet(wb, sheet.name.toUtf8().constData());
        if (!ws) {
            *error = QStringLiteral("не удалось создать лист \"%1\" (нет места для временных файлов?)")
                         .arg(sheet.name);
            ok = false;
            break;
        }
        if (!WriteSheet(wb, ws, sheet, formats, error)) {
            ok = false;
            break;
        }
    }
    const lxw_error closed = workbook_close(wb);
    if (ok && closed != LXW_NO_ERROR) {
        *error = ErrorText(closed);
        ok = false;
    }
    if (ok && std::rename(partName.constData(), QFile::encodeName(path).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ok = false;
    }
    if (!ok)
        QFile::remove(part);
    return ok;
}

QString CreateWorkbookFile(const QString& folder, const QString& name, const QDateTime& when,
                           QString* error)
{
    QString scratch;
    if (error == nullptr)
        error = &scratch;
    QString base = name;
    base.replace(u'/', u'_');
    base.remove(QChar(0));
    if (base.trimmed().isEmpty())
        base = QStringLiteral("Книга");
    const QString stamp = when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    const QDir dir(folder);
    for (int n = 1; n <= 1000; ++n) {
        const QString file = n == 1 ? QStringLiteral("%1 %2.xlsx").arg(base, stamp)
                                    : QStringLiteral("%1 %2 (%3).xlsx").arg(base, stamp).arg(n);
        const QString path = dir.filePath(file);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!f.exists()) {
            *error = f.errorString();
            return {};
        }
    }
    *error = QStringLiteral("все имена файлов заняты");
    return {};
}
