#include "journal/Ulogform.h"

#include "journal/Excel.h"
#include "journal/JournalLoader.h"
#include "store/GradientFill.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

// ---- painting -------------------------------------------------------------------

void DrawJournalCell(QPainter& painter, const QRect& cell, const QString& text, bool fixed,
                     bool selected, const QFont& gridFont)
{
    QFont font = gridFont;
    font.setBold(fixed);
    const QColor fill = fixed ? kJournalFixedColour : selected ? kJournalSelectedColour : kJournalCellColour;
    const QColor ink = (!fixed && selected) ? QColor(0xFF, 0xFF, 0xFF) : QColor(0, 0, 0);

    painter.save();
    painter.setClipRect(cell, Qt::IntersectClip);
    GradientFillRect(painter, cell, fill);
    // Measured in the font the text is drawn in, so bold headers centre too.
    const QFontMetrics metrics(font);
    const int textWidth = metrics.horizontalAdvance(text);
    const int textHeight = metrics.height();
    const int x = std::max(cell.left(), cell.left() + (cell.width() - textWidth) / 2);
    const int y = cell.top() + (cell.height() - textHeight) / 2;
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(x, y + metrics.ascent(), text);
    painter.restore();
}

namespace {

// A fixed cell in its section: the cell, then the grid lines to its right and below.
void DrawFixedSection(QPainter& painter, const QRect& section, const QString& text, const QFont& font)
{
    const QRect cell = section.adjusted(0, 0, -1, -1);
    DrawJournalCell(painter, cell, text, true, false, font);
    painter.fillRect(QRect(section.right(), section.top(), 1, section.height()), kJournalGridLineColour);
    painter.fillRect(QRect(section.left(), section.bottom(), section.width(), 1), kJournalGridLineColour);
}

// The header row and the number column: fixed cells that never scroll away.
class FixedHeader : public QHeaderView {
public:
    // The grid's font is given, not inherited: a skin's style sheet on the
    // header would otherwise choose it.
    FixedHeader(Qt::Orientation orientation, const QFont& gridFont, QWidget* parent)
        : QHeaderView(orientation, parent)
        , gridFont_(gridFont)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QHeaderView::paintEvent(event);
        // Beyond the last section the grid shows its own background, as below
        // the last row.
        const int end = length() - offset();
        QWidget* area = viewport();
        const QRect rest = orientation() == Qt::Vertical
                               ? QRect(0, end, area->width(), area->height() - end)
                               : QRect(end, 0, area->width() - end, area->height());
        if (rest.isValid()) {
            QPainter painter(area);
            painter.fillRect(rest, kJournalBackground);
        }
    }

    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        if (!rect.isValid() || !model())
            return;
        const QString text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        DrawFixedSection(*painter, rect, text, gridFont_);
    }

private:
    QFont gridFont_;
};

}  // namespace

std::array<int, JournalGrid::kColumns> JournalColumnWidths(int clientWidth, int numberWidth)
{
    static constexpr int kShares[JournalGrid::kColumns] = {0, 15, 15, 15, 15, 15, 15, 10};
    std::array<int, JournalGrid::kColumns> widths{};
    widths[0] = numberWidth;
    const int rest = clientWidth - numberWidth;
    for (int c = 1; c < JournalGrid::kColumns; ++c)
        widths[c] = std::max(0, kShares[c] * rest / 100);
    return widths;
}

int JournalNumberColumnWidth(const QFont& gridFont, int lastRow)
{
    const int width = QFontMetrics(gridFont).horizontalAdvance(QStringLiteral("00990"));
    // A long journal's row numbers would otherwise show cut, as a wrong number.
    QFont bold = gridFont;
    bold.setBold(true);
    const int needed = QFontMetrics(bold).horizontalAdvance(QString::number(lastRow)) + 2;
    return std::max(width, needed);
}

// ---- model ---------------------------------------------------------------------

JournalModel::JournalModel(JournalGrid& grid, QObject* parent)
    : QAbstractTableModel(parent)
    , grid_(grid)
{
    grid_.SetListener(this);
}

JournalModel::~JournalModel()
{
    grid_.SetListener(nullptr);
}

int JournalModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.RowCount() - 1;
}

int JournalModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.ColumnCount() - 1;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() + 1 >= grid_.RowCount() ||
        index.column() + 1 >= grid_.ColumnCount())
        return {};
    return grid_.Cell(index.row() + 1, index.column() + 1);
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal)
        return section + 1 < grid_.ColumnCount() ? grid_.Cell(0, section + 1) : QVariant();
    return section + 1 < grid_.RowCount() ? grid_.Cell(section + 1, 0) : QVariant();
}

Qt::ItemFlags JournalModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void JournalModel::GridAboutToReset()
{
    beginResetModel();
}

void JournalModel::GridReset()
{
    endResetModel();
}

void JournalModel::RowAboutToBeAdded(int row)
{
    beginInsertRows(QModelIndex(), row - 1, row - 1);
}

void JournalModel::RowAdded(int)
{
    endInsertRows();
}

void JournalModel::RowChanged(int row)
{
    if (row < 1)
        return;
    emit dataChanged(index(row - 1, 0), index(row - 1, columnCount() - 1), {Qt::DisplayRole});
    emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
}

void JournalCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    DrawJournalCell(*painter, option.rect, index.data(Qt::DisplayRole).toString(), false,
                    option.state.testFlag(QStyle::State_Selected), gridFont_);
}

// ---- window --------------------------------------------------------------------

TLogForm::TLogForm(QWidget* owner)
    : QWidget(nullptr,
              // No close, minimise or maximise box: the main window's menu alone
              // shows and hides it. A normal window type (not Qt::Tool) keeps
              // its own taskbar entry on X11 desktops.
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("LogForm"));
    setWindowTitle(QStringLiteral("Журнал"));
    QFont gridFont(QStringLiteral("Tahoma"));
    gridFont.setStyleHint(QFont::SansSerif);
    gridFont.setPixelSize(11);
    setFont(gridFont);
    gridFont_ = gridFont;

    model_ = new JournalModel(grid_, this);

    StringGrid1 = new QTableView(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setFont(gridFont);
    StringGrid1->setHorizontalHeader(new FixedHeader(Qt::Horizontal, gridFont, StringGrid1));
    StringGrid1->setVerticalHeader(new FixedHeader(Qt::Vertical, gridFont, StringGrid1));
    StringGrid1->setModel(model_);
    StringGrid1->setItemDelegate(new JournalCellDelegate(gridFont, StringGrid1));
    StringGrid1->setStyleSheet(QStringLiteral("QTableView { background-color: #C0C0C0; gridline-color: #808080; }"));
    StringGrid1->setShowGrid(true);
    StringGrid1->setGridStyle(Qt::SolidLine);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    StringGrid1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    StringGrid1->setWordWrap(false);
    StringGrid1->setCornerButtonEnabled(false);
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);

    QHeaderView* top = StringGrid1->horizontalHeader();
    top->setMinimumSectionSize(1);
    top->setSectionResizeMode(QHeaderView::Fixed);
    top->setSectionsMovable(false);
    top->setSectionsClickable(false);
    top->setHighlightSections(false);
    top->setFixedHeight(kJournalRowHeight + 1);
    QHeaderView* side = StringGrid1->verticalHeader();
    side->setMinimumSectionSize(1);
    side->setDefaultSectionSize(kJournalRowHeight + 1);
    side->setSectionResizeMode(QHeaderView::Fixed);
    side->setSectionsMovable(false);
    side->setSectionsClickable(false);
    side->setHighlightSections(false);

    // The corner cell "№" is drawn like the other fixed cells.
    corner_ = StringGrid1->findChild<QAbstractButton*>();
    if (corner_)
        corner_->installEventFilter(this);
    // Widths follow the grid's client width, which also changes when the
    // vertical scroll bar comes or goes.
    StringGrid1->installEventFilter(this);
    StringGrid1->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(StringGrid1);

    PopupMenu1 = new QMenu(this);
    pmOpenLog = PopupMenu1->addAction(QStringLiteral("Открыть файл журнала..."));
    pmOpenLog->setObjectName(QStringLiteral("pmOpenLog"));
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N1"));
    pmPrint = PopupMenu1->addAction(QStringLiteral("Напечатать этикетку"));
    pmPrint->setObjectName(QStringLiteral("pmPrint"));
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N2"));
    pmMicrosoftExcel = PopupMenu1->addAction(QStringLiteral("Экспорт в Microsoft Excel"));
    pmMicrosoftExcel->setObjectName(QStringLiteral("pmMicrosoftExcel"));
    connect(pmOpenLog, &QAction::triggered, this, &TLogForm::pmOpenLogClick);
    connect(pmPrint, &QAction::triggered, this, &TLogForm::pmPrintClick);
    connect(pmMicrosoftExcel, &QAction::triggered, this, &TLogForm::pmMicrosoftExcelClick);
    connect(StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(pos));
    });

    // The grid always has a current row, row 1 after a start or a load.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        SelectRow(1);
        FormResize();
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (JournalNumberColumnWidth(gridFont_, grid_.RowCount() - 1) != numberWidth_)
            FormResize();
    });

    resize(573, 194);
    SelectRow(1);
    FormResize();

    if (owner)
        connect(owner, &QObject::destroyed, this, [this] { delete this; });
}

TLogForm::~TLogForm()
{
    // The view and the model go while the grid they read still exists.
    QTableView* view = StringGrid1;
    StringGrid1 = nullptr;
    corner_ = nullptr;
    delete view;
    delete model_;
    model_ = nullptr;
}

void TLogForm::SetPrintLabel(std::function<void(const QString&)> printLabel)
{
    printLabel_ = std::move(printLabel);
}

void TLogForm::SetOpenDialog(std::function<QString(QWidget*)> chooseFile)
{
    chooseFile_ = std::move(chooseFile);
}

void TLogForm::FormResize()
{
    QHeaderView* side = StringGrid1->verticalHeader();
    // The grid's client width: the number column and the data area, without
    // frame and scroll bar.
    QScrollBar* bar = StringGrid1->verticalScrollBar();
    const int client = StringGrid1->contentsRect().width() -
                       (bar->isVisibleTo(StringGrid1) ? bar->sizeHint().width() : 0);
    numberWidth_ = JournalNumberColumnWidth(gridFont_, grid_.RowCount() - 1);
    const auto widths = JournalColumnWidths(client, numberWidth_);
    side->setFixedWidth(widths[0] + 1);
    QHeaderView* top = StringGrid1->horizontalHeader();
    for (int c = 1; c < JournalGrid::kColumns; ++c)
        top->resizeSection(c - 1, widths[c] + 1);
}

int TLogForm::ColumnWidth(int column) const
{
    if (column == 0)
        return StringGrid1->verticalHeader()->width() - 1;
    return StringGrid1->horizontalHeader()->sectionSize(column - 1) - 1;
}

int TLogForm::SelectedRow() const
{
    const QModelIndex current = StringGrid1->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void TLogForm::SelectRow(int row)
{
    if (row < 1 || row >= grid_.RowCount())
        return;
    StringGrid1->setCurrentIndex(model_->index(row - 1, 0));
    StringGrid1->selectRow(row - 1);
}

bool TLogForm::OpenLogFile(const QString& path)
{
    if (!LoadJournalFile(QFile::encodeName(path).toStdString(), grid_))
        return false;
    StringGrid1->scrollToTop();
    return true;
}

void TLogForm::pmOpenLogClick()
{
    const QString path = chooseFile_ ? chooseFile_(this)
                                     : QFileDialog::getOpenFileName(this, QString(), QString(),
                                                                    QStringLiteral("*.log"));
    if (path.isEmpty())
        return;
    OpenLogFile(path);
}

void TLogForm::pmPrintClick()
{
    const int row = SelectedRow();
    if (row < 1)
        return;
    if (printLabel_)
        printLabel_(grid_.Cell(row, 3));
}

void TLogForm::pmMicrosoftExcelClick()
{
    ExportGridToExcel(this, grid_, QStringLiteral("Журнал стенда"));
}

void TLogForm::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4) would leave the main menu's check
    // mark wrong; only the main window hides or destroys this window.
    if (event->spontaneous())
        event->ignore();
    else
        QWidget::closeEvent(event);
}

bool TLogForm::eventFilter(QObject* watched, QEvent* event)
{
    if (!StringGrid1)
        return false;
    if (watched == StringGrid1 || watched == StringGrid1->viewport()) {
        if (event->type() == QEvent::Resize)
            FormResize();
        return false;
    }
    if (watched == corner_ && event->type() == QEvent::Paint) {
        QPainter painter(corner_);
        DrawFixedSection(painter, corner_->rect(), grid_.Cell(0, 0), gridFont_);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
