#include "journal/Journal.h"
#include "journal/Ulogform.h"
#include "app/Skin.h"
#include "store/GradientFill.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <string>
#include <vector>

namespace {

QRgb Rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

QString Hex(QRgb c)
{
    return QStringLiteral("%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

JournalEntry Entry(int n, const QString& result = QStringLiteral("OK"))
{
    return MakeJournalEntry(QDateTime(QDate(2017, 3, 5), QTime(14, 7, n % 60)),
                            DateTimeSeparators{QStringLiteral("."), QStringLiteral(":")},
                            QStringLiteral("17-%1").arg(n, 5, 10, QLatin1Char('0')),
                            n % 3 == 0 ? QStringLiteral("Программирование") : QStringLiteral("Тестирование"),
                            150u + n, result, 3u);
}

void Fill(TLogForm& form, int count)
{
    TempDir dir;
    JournalWriter writer(dir.file("StendZorva.log"));
    for (int i = 1; i <= count; ++i)
        WriteJournalEntry(form.Grid(), writer, Entry(i, i == 2 ? QStringLiteral("Ошибка 2") : QStringLiteral("OK")));
}

// Where a grid cell lies in the window's own coordinates (the cell without its grid line).
QRect CellRect(TLogForm& form, int row, int column)
{
    QTableView* view = form.StringGrid1;
    QHeaderView* top = view->horizontalHeader();
    QHeaderView* side = view->verticalHeader();
    const int x = column == 0 ? side->mapTo(&form, QPoint(0, 0)).x()
                              : top->mapTo(&form, QPoint(top->sectionViewportPosition(column - 1), 0)).x();
    const int y = row == 0 ? top->mapTo(&form, QPoint(0, 0)).y()
                           : side->mapTo(&form, QPoint(0, side->sectionViewportPosition(row - 1))).y();
    return QRect(x, y, form.ColumnWidth(column), kJournalRowHeight);
}

QImage Shot(TLogForm& form)
{
    return form.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// ---- the shading and the cells ---------------------------------------------------

TEST(GradientFillRect, RowsDarkenByThreeDownToBlack)
{
    struct Case {
        QRgb start;
        int rows;
        std::vector<QRgb> expected;  // row by row, from the top
    };
    const Case cases[] = {
        {Rgb(0xEF, 0xEF, 0xEF), 10,
         {Rgb(0xEF, 0xEF, 0xEF), Rgb(0xEC, 0xEC, 0xEC), Rgb(0xE9, 0xE9, 0xE9), Rgb(0xE6, 0xE6, 0xE6),
          Rgb(0xE3, 0xE3, 0xE3), Rgb(0xE0, 0xE0, 0xE0), Rgb(0xDD, 0xDD, 0xDD), Rgb(0xDA, 0xDA, 0xDA),
          Rgb(0xD7, 0xD7, 0xD7), Rgb(0xD4, 0xD4, 0xD4)}},
        {Rgb(0x02, 0x02, 0x02), 3, {Rgb(2, 2, 2), Rgb(0, 0, 0), Rgb(0, 0, 0)}},
        {Rgb(0x05, 0x80, 0x01), 3, {Rgb(5, 0x80, 1), Rgb(2, 0x7D, 0), Rgb(0, 0x7A, 0)}},
    };
    for (const Case& c : cases) {
        QImage image(12, c.rows + 4, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        {
            QPainter painter(&image);
            GradientFillRect(painter, QRect(2, 2, 8, c.rows), QColor(c.start));
        }
        for (int i = 0; i < c.rows; ++i)
            for (int x = 2; x < 10; ++x)
                ASSERT_EQ(Hex(image.pixel(x, 2 + i)), Hex(c.expected[i])) << "row " << i << " x " << x;
        // Nothing outside the rectangle.
        EXPECT_EQ(image.pixel(1, 2), QColor(Qt::magenta).rgb());
        EXPECT_EQ(image.pixel(10, 2), QColor(Qt::magenta).rgb());
        EXPECT_EQ(image.pixel(5, 1), QColor(Qt::magenta).rgb());
        EXPECT_EQ(image.pixel(5, 2 + c.rows), QColor(Qt::magenta).rgb());
    }
}

TEST(GradientFillRect, ACellOfTheRowHeightEndsAsTheWindowShowsIt)
{
    const struct {
        QRgb start, last;
    } cases[] = {{Rgb(0xFF, 0xFF, 0xFF), Rgb(0xC0, 0xC0, 0xC0)},
                 {Rgb(0xEF, 0xEF, 0xEF), Rgb(0xB0, 0xB0, 0xB0)},
                 {Rgb(0x00, 0x00, 0xFF), Rgb(0x00, 0x00, 0xC0)}};
    for (const auto& c : cases) {
        QImage image(4, kJournalRowHeight, QImage::Format_RGB32);
        QPainter painter(&image);
        GradientFillRect(painter, image.rect(), QColor(c.start));
        painter.end();
        EXPECT_EQ(Hex(image.pixel(1, kJournalRowHeight - 1)), Hex(c.last));
    }
}

TEST(DrawJournalCell, TextIsCentredOrStartsAtTheLeftEdge)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    const QRect cell(10, 0, 60, kJournalRowHeight);
    struct Case {
        QString text;
        bool fixed;
    };
    const Case cases[] = {{QStringLiteral("OK"), false},
                          {QStringLiteral("Стенд"), true},
                          {QStringLiteral("Программирование очень длинное"), false}};
    for (const Case& c : cases) {
        QImage image(80, kJournalRowHeight, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        DrawJournalCell(painter, cell, c.text, c.fixed, false, font);
        painter.end();
        // Ink: clearly darker than the shading under it.
        int first = -1, last = -1;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (qGray(image.pixel(x, y)) < 100) {
                    if (first < 0)
                        first = x;
                    last = x;
                }
        ASSERT_GE(first, 0) << c.text.toStdString();
        QFont f = font;
        f.setBold(c.fixed);
        const int width = QFontMetrics(f).horizontalAdvance(c.text);
        if (width > cell.width()) {
            EXPECT_LE(first, cell.left() + 1);
            EXPECT_EQ(last, cell.right());  // cut at the right edge
        } else {
            const int x = cell.left() + (cell.width() - width) / 2;
            EXPECT_NEAR(first, x, 2) << c.text.toStdString();
            EXPECT_LE(last, x + width);
        }
        // Nothing painted outside the cell.
        EXPECT_EQ(image.pixel(cell.left() - 1, 5), QColor(Qt::magenta).rgb());
        EXPECT_EQ(image.pixel(cell.right() + 1, 5), QColor(Qt::magenta).rgb());
    }
}

// ---- the window ------------------------------------------------------------------

TEST(LogForm, IsBuiltAsDesigned)
{
    TLogForm form;
    EXPECT_EQ(form.objectName(), QStringLiteral("LogForm"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Журнал"));
    EXPECT_EQ(form.size(), QSize(573, 194));
    EXPECT_TRUE(form.isWindow());
    EXPECT_EQ(form.windowType(), Qt::Window);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(form.font().pixelSize(), 11);

    QTableView* grid = form.StringGrid1;
    EXPECT_EQ(grid->model()->columnCount() + 1, 8);  // number column + seven fields
    EXPECT_EQ(grid->model()->rowCount(), 1);         // the empty row 1
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(grid->verticalHeader()->sectionSize(0), kJournalRowHeight + 1);
    EXPECT_EQ(grid->horizontalHeader()->height(), kJournalRowHeight + 1);
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_FALSE(grid->horizontalHeader()->sectionsMovable());
    EXPECT_EQ(form.SelectedRow(), 1);

    std::vector<QString> headers;
    for (int c = 0; c < 7; ++c)
        headers.push_back(grid->model()->headerData(c, Qt::Horizontal).toString());
    EXPECT_EQ(headers, (std::vector<QString>{"Дата", "Время", "Номер", "Действие", "Ток, мкА",
                                             "Результат", "Стенд"}));
    EXPECT_EQ(form.Grid().Cell(0, 0), QStringLiteral("№"));

    std::vector<QString> menu;
    for (QAction* a : form.PopupMenu1->actions())
        menu.push_back(a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(menu, (std::vector<QString>{"Открыть файл журнала...", "-", "Напечатать этикетку", "-",
                                          "Экспорт в Microsoft Excel"}));
}

TEST(LogForm, ColumnWidthsShareTheClientWidth)
{
    struct Case {
        int client, number;
        std::array<int, 8> widths;
    };
    const Case cases[] = {
        {569, 35, {35, 80, 80, 80, 80, 80, 80, 53}},  // rest 534: 8010/100, 5340/100
        {135, 35, {35, 15, 15, 15, 15, 15, 15, 10}},
        {134, 35, {35, 14, 14, 14, 14, 14, 14, 9}},   // 1485/100, 990/100 truncated
        {35, 35, {35, 0, 0, 0, 0, 0, 0, 0}},
        {20, 35, {35, 0, 0, 0, 0, 0, 0, 0}},          // narrower than the number column
    };
    for (const Case& c : cases)
        EXPECT_EQ(JournalColumnWidths(c.client, c.number), c.widths) << c.client;

    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    EXPECT_EQ(JournalNumberColumnWidth(font, 1), QFontMetrics(font).horizontalAdvance("00990"));
    QFont bold = font;
    bold.setBold(true);
    EXPECT_GE(JournalNumberColumnWidth(font, 1000000), QFontMetrics(bold).horizontalAdvance("1000000"));
}

TEST(LogForm, ResizeRecomputesTheWidths)
{
    TLogForm form;
    form.show();
    for (int width : {573, 800, 300}) {
        form.resize(width, 194);
        QCoreApplication::processEvents();
        QTableView* grid = form.StringGrid1;
        // Few rows: no scroll bar, so the client width is the inside of the frame.
        ASSERT_FALSE(grid->verticalScrollBar()->isVisible());
        const int client = grid->width() - 2 * grid->frameWidth();
        const int number = QFontMetrics(form.font()).horizontalAdvance("00990");
        EXPECT_EQ(form.ColumnWidth(0), number);
        const int rest = client - number;
        for (int c = 1; c <= 6; ++c)
            EXPECT_EQ(form.ColumnWidth(c), 15 * rest / 100) << width << " column " << c;
        EXPECT_EQ(form.ColumnWidth(7), 10 * rest / 100) << width;
    }
}

void ExpectJournalColours(const char* screenshotName);

TEST(LogForm, CellsArePaintedInTheJournalColours)
{
    ExpectJournalColours("journal-window");
}

TEST(LogForm, CellsKeepTheirColoursUnderTheSkin)
{
    const QString sheet = qApp->styleSheet();
    const QPalette palette = QApplication::palette();
    qApp->setPalette(SkinManager::BuiltInPalette());
    qApp->setStyleSheet(SkinManager::BuiltInStyleSheet());
    ExpectJournalColours("journal-window-skin");
    qApp->setStyleSheet(sheet);
    qApp->setPalette(palette);
}

void ExpectJournalColours(const char* screenshotName)
{
    SCOPED_TRACE(screenshotName);
    TLogForm form;
    Fill(form, 3);
    form.SelectRow(2);
    form.show();
    QCoreApplication::processEvents();
    const QImage shot = Shot(form);

    struct Case {
        const char* what;
        int row, column;
        QRgb top, bottom;
    };
    const Case cases[] = {
        {"corner", 0, 0, Rgb(0xEF, 0xEF, 0xEF), Rgb(0xB0, 0xB0, 0xB0)},
        {"header", 0, 4, Rgb(0xEF, 0xEF, 0xEF), Rgb(0xB0, 0xB0, 0xB0)},
        {"number", 1, 0, Rgb(0xEF, 0xEF, 0xEF), Rgb(0xB0, 0xB0, 0xB0)},
        {"number of the selected row", 2, 0, Rgb(0xEF, 0xEF, 0xEF), Rgb(0xB0, 0xB0, 0xB0)},
        {"selected", 2, 3, Rgb(0x00, 0x00, 0xFF), Rgb(0x00, 0x00, 0xC0)},
        {"selected, error result", 2, 6, Rgb(0x00, 0x00, 0xFF), Rgb(0x00, 0x00, 0xC0)},
        {"unselected", 1, 3, Rgb(0xFF, 0xFF, 0xFF), Rgb(0xC0, 0xC0, 0xC0)},
        {"unselected, last column", 3, 7, Rgb(0xFF, 0xFF, 0xFF), Rgb(0xC0, 0xC0, 0xC0)},
    };
    for (const Case& c : cases) {
        const QRect cell = CellRect(form, c.row, c.column);
        EXPECT_EQ(Hex(shot.pixel(cell.center().x(), cell.top())), Hex(c.top)) << c.what;
        EXPECT_EQ(Hex(shot.pixel(cell.center().x(), cell.bottom())), Hex(c.bottom)) << c.what;
        EXPECT_EQ(Hex(shot.pixel(cell.left(), cell.top())), Hex(c.top)) << c.what;
    }

    // The texts are there: white on the selected row, black on the others.
    auto inkIn = [&](const QRect& cell, auto isInk) {
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                if (isInk(shot.pixel(x, y)))
                    return true;
        return false;
    };
    EXPECT_TRUE(inkIn(CellRect(form, 2, 3), [](QRgb p) { return qRed(p) > 200 && qGreen(p) > 200; }));
    EXPECT_TRUE(inkIn(CellRect(form, 1, 3), [](QRgb p) { return qGray(p) < 80; }));
    EXPECT_TRUE(inkIn(CellRect(form, 0, 3), [](QRgb p) { return qGray(p) < 80; }));

    // Below the rows, the number column included, the grid's silver background.
    const QRect last = CellRect(form, 3, 0);
    EXPECT_EQ(Hex(shot.pixel(last.center().x(), last.bottom() + 10)), Hex(Rgb(0xC0, 0xC0, 0xC0)));
    EXPECT_EQ(Hex(shot.pixel(CellRect(form, 3, 4).center().x(), last.bottom() + 10)),
              Hex(Rgb(0xC0, 0xC0, 0xC0)));

    if (const QByteArray dir = qgetenv("ZORVA_SCREENSHOT_DIR"); !dir.isEmpty()) {
        const QString base = QString::fromLocal8Bit(dir) + u'/' + QString::fromUtf8(screenshotName);
        form.grab().save(base + QStringLiteral(".png"));
        form.resize(760, 194);
        QCoreApplication::processEvents();
        form.grab().save(base + QStringLiteral("-wide.png"));
    }
}

TEST(LogForm, PrintTakesTheNumberOfTheSelectedRow)
{
    TLogForm form;
    std::vector<QString> printed;
    form.SetPrintLabel([&](const QString& serial) { printed.push_back(serial); });

    form.pmPrint->trigger();  // the empty row 1 of a new grid
    EXPECT_EQ(printed, std::vector<QString>{QString()});

    Fill(form, 3);
    form.SelectRow(2);
    form.pmPrintClick();
    EXPECT_EQ(printed.back(), QStringLiteral("17-00002"));
    EXPECT_EQ(form.SelectedRow(), 2);

    printed.clear();
    form.StringGrid1->setCurrentIndex(QModelIndex());
    EXPECT_EQ(form.SelectedRow(), 0);
    form.pmPrintClick();
    EXPECT_TRUE(printed.empty());
}

TEST(LogForm, OpenLogReplacesTheRowsAndKeepsThemOnCancelOrFailure)
{
    TempDir dir;
    dir.write("a.log", "01.02.2020;10:00:00;20-00001;T;1;OK;1;\r\n\r\n01.02.2020;10:00:01;20-00002;T;2;OK;1;\r\n");
    TLogForm form;
    Fill(form, 5);
    form.SelectRow(4);

    QString answer;
    int asked = 0;
    form.SetOpenDialog([&](QWidget*) {
        ++asked;
        return answer;
    });
    form.pmOpenLog->trigger();  // Cancel
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(form.Grid().RowCount(), 6);
    EXPECT_EQ(form.SelectedRow(), 4);

    answer = QString::fromStdString(dir.file("missing.log"));
    form.pmOpenLogClick();
    EXPECT_EQ(form.Grid().RowCount(), 6);
    EXPECT_EQ(form.StringGrid1->model()->rowCount(), 5);

    answer = QString::fromStdString(dir.file("a.log"));
    form.pmOpenLogClick();
    QAbstractItemModel* model = form.StringGrid1->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->headerData(1, Qt::Vertical).toString(), QStringLiteral("2"));
    EXPECT_EQ(model->index(1, 0).data().toString(), QString());
    EXPECT_EQ(model->index(2, 2).data().toString(), QStringLiteral("20-00002"));
    EXPECT_EQ(form.SelectedRow(), 1);

    // An entry after the load comes below it, and the view sees it.
    JournalWriter writer(dir.file("StendZorva.log"));
    EXPECT_EQ(WriteJournalEntry(form.Grid(), writer, Entry(9)), 4);
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->headerData(3, Qt::Vertical).toString(), QStringLiteral("4"));
    EXPECT_EQ(model->index(3, 2).data().toString(), QStringLiteral("17-00009"));
}

TEST(LogForm, TheFirstEntryFillsTheEmptyRowOne)
{
    TLogForm form;
    QAbstractItemModel* model = form.StringGrid1->model();
    EXPECT_EQ(model->headerData(0, Qt::Vertical).toString(), QString());
    Fill(form, 1);
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
    EXPECT_EQ(model->index(0, 6).data().toString(), QStringLiteral("3"));
    Fill(form, 2);
    EXPECT_EQ(model->rowCount(), 3);
}

TEST(LogForm, ALongJournalShowsItsLastRowNumbersWhole)
{
    TempDir dir;
    std::string bytes;
    const std::string line = "05.03.2017;14:07:09;17-00023;T;152;OK;3;\r\n";
    for (int i = 0; i < 100000; ++i)
        bytes += line;
    dir.write("long.log", bytes);
    TLogForm form;
    form.show();
    ASSERT_TRUE(form.OpenLogFile(QString::fromStdString(dir.file("long.log"))));
    QTableView* grid = form.StringGrid1;
    ASSERT_EQ(grid->model()->rowCount(), 100000);
    grid->scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_TRUE(grid->verticalScrollBar()->isVisible());
    QFont bold = form.font();
    bold.setBold(true);
    EXPECT_GE(form.ColumnWidth(0), QFontMetrics(bold).horizontalAdvance("100000"));
    EXPECT_EQ(grid->rowAt(grid->viewport()->height() - 1), 99999);
    // The widths still fill the client width, now without the scroll bar's part.
    int total = 0;
    for (int c = 0; c < 8; ++c)
        total += form.ColumnWidth(c);
    const int client = grid->width() - 2 * grid->frameWidth() - grid->verticalScrollBar()->width();
    EXPECT_LE(total, client);
    EXPECT_GE(total, client - 8);
}
