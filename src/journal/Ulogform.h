#pragma once
// The journal window: the grid of journal rows (a model over JournalGrid
// and a table view, so a journal of years scrolls as fast as a short one),
// its popup menu, and the painting of its cells.
#include "journal/JournalGrid.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QStyledItemDelegate>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QPainter;
class QTableView;

// Colours the cells start their shading from.
inline const QColor kJournalFixedColour{0xEF, 0xEF, 0xEF};
inline const QColor kJournalSelectedColour{0x00, 0x00, 0xFF};
inline const QColor kJournalCellColour{0xFF, 0xFF, 0xFF};
inline const QColor kJournalGridLineColour{0x80, 0x80, 0x80};
inline const QColor kJournalBackground{0xC0, 0xC0, 0xC0};
inline constexpr int kJournalRowHeight = 22;  // a cell, without its grid line

// Paints one cell (its rectangle without the grid line): fixed cells bold
// black on shading from EFEFEF, the selected row white on shading from
// 0000FF, other cells black on shading from FFFFFF; the text centred, or
// from the left edge and cut when wider than the cell.
void DrawJournalCell(QPainter& painter, const QRect& cell, const QString& text, bool fixed,
                     bool selected, const QFont& gridFont);

// Cell widths of columns 0 to 7 for a grid client width: column 0 gets
// numberWidth, columns 1 to 7 share the rest 15,15,15,15,15,15,10 % (the
// product first, then the division, truncated; never below 0).
std::array<int, JournalGrid::kColumns> JournalColumnWidths(int clientWidth, int numberWidth);

// Width of the number column: the text "00990" in the grid's font, or more
// when the bottom row's number in bold would not fit.
int JournalNumberColumnWidth(const QFont& gridFont, int lastRow);

// Data rows 1.. of the grid as model rows 0.., columns 1..7 as model columns
// 0..6; the header row and the number column are the header views' sections.
class JournalModel : public QAbstractTableModel, public JournalGridListener {
    Q_OBJECT
public:
    explicit JournalModel(JournalGrid& grid, QObject* parent = nullptr);
    ~JournalModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void GridAboutToReset() override;
    void GridReset() override;
    void RowAboutToBeAdded(int row) override;
    void RowAdded(int row) override;
    void RowChanged(int row) override;

    JournalGrid& grid_;
};

class JournalCellDelegate : public QStyledItemDelegate {
public:
    JournalCellDelegate(const QFont& gridFont, QObject* parent)
        : QStyledItemDelegate(parent)
        , gridFont_(gridFont)
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QFont gridFont_;
};

class TLogForm : public QWidget {
    Q_OBJECT
public:
    // A top-level window of its own (so it gets its own taskbar entry); the
    // owner, when given, destroys it with itself, as the main window does.
    explicit TLogForm(QWidget* owner = nullptr);
    ~TLogForm() override;

    JournalGrid& Grid() { return grid_; }
    const JournalGrid& Grid() const { return grid_; }
    int AppendJournalRow() { return grid_.AppendJournalRow(); }
    void ClearJournalRow(int row) { grid_.ClearJournalRow(row); }

    // The label printing of the main window, called with the "Номер" text.
    void SetPrintLabel(std::function<void(const QString&)> printLabel);
    // Replaces the file dialog (tests); returns the chosen path, "" on Cancel.
    void SetOpenDialog(std::function<QString(QWidget*)> chooseFile);

    void FormResize();
    void pmOpenLogClick();
    void pmPrintClick();
    void pmMicrosoftExcelClick();

    // pmOpenLogClick without the dialog: false (grid unchanged) when the file
    // cannot be opened.
    bool OpenLogFile(const QString& path);

    int SelectedRow() const;     // grid row of the selection, 0 when none
    void SelectRow(int row);     // grid row >= 1
    int ColumnWidth(int column) const;  // cell width of grid column 0..7
    const QFont& GridFont() const { return gridFont_; }

    QTableView* StringGrid1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* pmOpenLog = nullptr;
    QAction* pmPrint = nullptr;
    QAction* pmMicrosoftExcel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    JournalGrid grid_;
    QFont gridFont_;  // Tahoma 11 px, or the system's sans-serif
    JournalModel* model_ = nullptr;
    QWidget* corner_ = nullptr;  // the cell "№" above the number column
    std::function<void(const QString&)> printLabel_;
    std::function<QString(QWidget*)> chooseFile_;
    int numberWidth_ = 0;
};
