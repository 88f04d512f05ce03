#include "app/Skin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace {

// Material Dark on a blue-grey base with a teal accent. Colours only: the
// windows set their own fonts, and a font here would override them. Plain
// labels take their colour from the palette, so texts the program colours
// through a widget's palette keep their colour under this skin.
const char* const MaterialDarkSheet = R"QSS(
QMainWindow, QDialog { background-color: #263238; }
QToolTip { background-color: #37474F; color: #ECEFF1; border: 1px solid #26A69A; padding: 3px; }

QMenuBar { background-color: #1E272C; color: #ECEFF1; border-bottom: 1px solid #37474F; }
QMenuBar::item { background: transparent; padding: 4px 10px; }
QMenuBar::item:selected { background-color: #37474F; }
QMenuBar::item:pressed { background-color: #00897B; color: #FFFFFF; }
QMenuBar::item:disabled { color: #78909C; }
QMenu { background-color: #263238; color: #ECEFF1; border: 1px solid #455A64; padding: 4px 0px; }
QMenu::item { padding: 5px 24px 5px 28px; background: transparent; }
QMenu::item:selected { background-color: #00897B; color: #FFFFFF; }
QMenu::item:disabled { color: #78909C; }
QMenu::separator { height: 1px; background-color: #455A64; margin: 4px 8px; }

QStatusBar { background-color: #1E272C; color: #CFD8DC; border-top: 1px solid #37474F; }
QStatusBar::item { border: none; border-right: 1px solid #37474F; }

QLineEdit, QSpinBox, QDateEdit, QTimeEdit, QPlainTextEdit, QTextEdit {
    background-color: #1A2327; color: #ECEFF1; border: 1px solid #546E7A; border-radius: 3px;
    padding: 1px 4px; selection-background-color: #00897B; selection-color: #FFFFFF; }
QLineEdit:focus, QSpinBox:focus, QPlainTextEdit:focus, QTextEdit:focus { border: 1px solid #26A69A; }
QLineEdit:disabled, QSpinBox:disabled { color: #78909C; background-color: #232E33; border-color: #37474F; }
QLineEdit:read-only { background-color: #232E33; }

QComboBox { background-color: #1A2327; color: #ECEFF1; border: 1px solid #546E7A; border-radius: 3px;
    padding: 1px 18px 1px 4px; selection-background-color: #00897B; }
QComboBox:focus { border: 1px solid #26A69A; }
QComboBox QAbstractItemView { background-color: #263238; color: #ECEFF1; border: 1px solid #455A64;
    selection-background-color: #00897B; selection-color: #FFFFFF; }

QPushButton, QToolButton { background-color: #37474F; color: #ECEFF1; border: 1px solid #546E7A;
    border-radius: 4px; padding: 4px 12px; }
QPushButton:hover, QToolButton:hover { background-color: #455A64; border-color: #80CBC4; }
QPushButton:pressed, QToolButton:pressed, QToolButton:checked { background-color: #00796B; border-color: #26A69A; }
QPushButton:default, QPushButton:focus { border: 1px solid #26A69A; }
QPushButton:disabled, QToolButton:disabled { background-color: #2E3B41; color: #78909C; border-color: #37474F; }

QCheckBox, QRadioButton { color: #ECEFF1; spacing: 6px; }
QCheckBox:disabled, QRadioButton:disabled { color: #78909C; }

QListView, QListWidget, QTreeView, QTableView, QTableWidget {
    background-color: #1E272C; alternate-background-color: #232E33; color: #ECEFF1;
    border: 1px solid #455A64; gridline-color: #37474F;
    selection-background-color: #00897B; selection-color: #FFFFFF; }
QHeaderView { background-color: #37474F; }
QHeaderView::section { background-color: #37474F; color: #ECEFF1; padding: 3px 6px; border: none;
    border-right: 1px solid #455A64; border-bottom: 1px solid #455A64; }
QHeaderView::section:checked { background-color: #455A64; }
QTableCornerButton::section { background-color: #37474F; border: none;
    border-right: 1px solid #455A64; border-bottom: 1px solid #455A64; }

QProgressBar { background-color: #1E272C; color: #ECEFF1; border: 1px solid #455A64; border-radius: 3px;
    text-align: center; }
QProgressBar::chunk { background-color: #00897B; border-radius: 2px; }

/* Group boxes are left to Fusion and the palette: under a style sheet their
   title no longer counts towards their width and gets cut. */

QScrollBar:vertical { background-color: #1E272C; width: 12px; margin: 0px; border: none; }
QScrollBar:horizontal { background-color: #1E272C; height: 12px; margin: 0px; border: none; }
QScrollBar::handle:vertical { background-color: #455A64; min-height: 24px; border-radius: 5px; margin: 1px; }
QScrollBar::handle:horizontal { background-color: #455A64; min-width: 24px; border-radius: 5px; margin: 1px; }
QScrollBar::handle:hover { background-color: #607D8B; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }

QSplitter::handle { background-color: #37474F; }
QTabWidget::pane { border: 1px solid #455A64; }
QTabBar::tab { background-color: #263238; color: #B0BEC5; padding: 5px 12px; border: 1px solid #37474F; }
QTabBar::tab:selected { background-color: #37474F; color: #ECEFF1; border-bottom: 2px solid #26A69A; }
)QSS";

}  // namespace

QString SkinManager::BuiltInSkinName()
{
    return QStringLiteral("Material Dark (внутренний)");
}

SkinManager::SkinManager()
    : SkinName(BuiltInSkinName())
{
    const QString programDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    SkinDirectory = QDir(programDir).filePath(QStringLiteral("Skins"));
}

QString SkinManager::SkinFile() const
{
    return QDir(SkinDirectory).filePath(SkinName + QStringLiteral(".qss"));
}

QString SkinManager::BuiltInStyleSheet()
{
    return QString::fromUtf8(MaterialDarkSheet);
}

QPalette SkinManager::BuiltInPalette()
{
    const QColor window(0x26, 0x32, 0x38), base(0x1E, 0x27, 0x2C), raised(0x37, 0x47, 0x4F);
    const QColor text(0xEC, 0xEF, 0xF1), muted(0x78, 0x90, 0x9C), accent(0x00, 0x89, 0x7B);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x23, 0x2E, 0x33));
    p.setColor(QPalette::ToolTipBase, raised);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, muted);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, raised);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xFF, 0x8A, 0x80));
    p.setColor(QPalette::Light, QColor(0x54, 0x6E, 0x7A));
    p.setColor(QPalette::Midlight, QColor(0x45, 0x5A, 0x64));
    p.setColor(QPalette::Mid, QColor(0x2E, 0x3B, 0x41));
    p.setColor(QPalette::Dark, QColor(0x1A, 0x23, 0x27));
    p.setColor(QPalette::Shadow, QColor(0x10, 0x16, 0x19));
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x80, 0xCB, 0xC4));
    p.setColor(QPalette::LinkVisited, QColor(0x4D, 0xB6, 0xAC));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, muted);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x45, 0x5A, 0x64));
    return p;
}

bool SkinManager::Apply(QApplication& app) const
{
    QString sheet;
    bool found = false;
    QFile file(SkinFile());
    if (!SkinName.isEmpty() && file.open(QIODevice::ReadOnly)) {
        sheet = QString::fromUtf8(file.readAll());
        found = true;
    }

    // Fusion draws the same on every desktop and takes both the dark palette
    // and style sheets well.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    if (found) {
        app.setPalette(app.style()->standardPalette());
        app.setStyleSheet(sheet);
        return true;
    }
    app.setPalette(BuiltInPalette());
    app.setStyleSheet(BuiltInStyleSheet());
    return SkinName == BuiltInSkinName();
}

QString ChooseSkinDirectory(const QString& programDir, const QString& currentDir,
                            const std::function<QString(const QString& fallback)>& readStoredDir)
{
    const QString programSkins = QDir(programDir).filePath(QStringLiteral("Skins"));
    if (QFileInfo(programSkins).isDir())
        return programSkins;
    const QString stored = readStoredDir ? readStoredDir(currentDir) : currentDir;
    // An empty stored value names no folder.
    return stored.isEmpty() ? currentDir : stored;
}
