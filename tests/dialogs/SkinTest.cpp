#include "app/Skin.h"
#include "dialogs/Messageform.h"
#include "dialogs/ok_dialog.h"
#include "dialogs/Uinptext.h"
#include "dialogs/Upass.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTableWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cmath>

namespace {

// Skins change the whole application: each test puts back what it found.
class Skins : public testing::Test {
protected:
    void SetUp() override
    {
        styleName_ = qApp->style()->name();
        palette_ = qApp->palette();
        sheet_ = qApp->styleSheet();
    }
    void TearDown() override
    {
        qApp->setStyleSheet(sheet_);
        qApp->setStyle(QStyleFactory::create(styleName_));
        qApp->setPalette(palette_);
    }
    TempDir dir;

private:
    QString styleName_;
    QPalette palette_;
    QString sheet_;
};

double Luminance(QColor c)
{
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double Contrast(QColor a, QColor b)
{
    double la = Luminance(a), lb = Luminance(b);
    if (la < lb)
        std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

void SaveScreenshot(QWidget& widget, const char* name)
{
    const QByteArray dir = qgetenv("ZORVA_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    widget.grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png"));
}

// Every kind of widget the program's windows use.
struct SampleWindow {
    QMainWindow window;
    QLabel* coloured;
    QProgressBar* progress;
    QWidget* lamp;
    QMenu* menu;

    SampleWindow()
    {
        window.resize(760, 520);
        menu = window.menuBar()->addMenu("Настройки");
        menu->addAction("COM порт");
        menu->addSeparator();
        auto* check = menu->addAction("Автоматическая печать");
        check->setCheckable(true);
        check->setChecked(true);
        menu->addAction("Левая этикетка")->setCheckable(true);
        menu->addAction("Недоступный пункт")->setEnabled(false);
        window.menuBar()->addMenu("Журнал");
        window.menuBar()->addMenu("Стенд");
        window.statusBar()->addWidget(new QLabel("COM1: Открыт"), 1);
        window.statusBar()->addWidget(new QLabel("Стенд № 3, версия 12"), 1);

        auto* central = new QWidget;
        auto* layout = new QVBoxLayout(central);
        auto* top = new QHBoxLayout;
        auto* box = new QGroupBox("Последний ОК");
        box->setObjectName("GroupBoxLastOk");
        auto* boxLayout = new QVBoxLayout(box);
        boxLayout->addWidget(new QLabel("17-00023"));
        boxLayout->addWidget(new QLabel("1520 мкА"));
        top->addWidget(box);
        auto* panel = new QFrame;
        panel->setFrameShape(QFrame::StyledPanel);
        auto* panelLayout = new QVBoxLayout(panel);
        coloured = new QLabel("Тестирование");
        QPalette red = coloured->palette();
        red.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0x00));
        coloured->setPalette(red);
        panelLayout->addWidget(coloured);
        lamp = new QWidget;
        lamp->setFixedSize(24, 24);
        lamp->setAutoFillBackground(true);
        QPalette lime = lamp->palette();
        lime.setColor(QPalette::Window, QColor(0x00, 0xFF, 0x00));
        lamp->setPalette(lime);
        panelLayout->addWidget(lamp);
        auto* edit = new QLineEdit("17");
        panelLayout->addWidget(edit);
        auto* disabled = new QLineEdit("0");
        disabled->setEnabled(false);
        panelLayout->addWidget(disabled);
        top->addWidget(panel);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(new QPushButton("Записать номер"));
        auto* off = new QPushButton("Недоступно");
        off->setEnabled(false);
        buttons->addWidget(off);
        top->addLayout(buttons);
        layout->addLayout(top);

        auto* list = new QListWidget;
        for (int i = 0; i < 12; ++i)
            list->addItem(QString("%1: FF FF FF FF 00 12 34 56").arg(i * 8, 4, 16, QChar('0')));
        list->setCurrentRow(2);
        auto* table = new QTableWidget(6, 4);
        table->setHorizontalHeaderLabels({"Дата", "Время", "Номер", "Действие"});
        table->setItem(0, 2, new QTableWidgetItem("17-00023"));
        auto* lists = new QHBoxLayout;
        lists->addWidget(list);
        lists->addWidget(table);
        layout->addLayout(lists);
        progress = new QProgressBar;
        progress->setValue(40);
        layout->addWidget(progress);
        window.setCentralWidget(central);
    }
};

QStringList StyleSheetWarnings;
void CollectWarnings(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (message.contains("style", Qt::CaseInsensitive) || message.contains("parse", Qt::CaseInsensitive))
        StyleSheetWarnings << message;
}

}  // namespace

TEST_F(Skins, DesignTimeValues)
{
    SkinManager skins;
    EXPECT_EQ(SkinManager::BuiltInSkinName(), "Material Dark (внутренний)");
    EXPECT_EQ(skins.SkinName, SkinManager::BuiltInSkinName());
    EXPECT_EQ(skins.SkinDirectory, QDir(QCoreApplication::applicationDirPath()).filePath("Skins"));
    EXPECT_EQ(skins.SkinFile(), skins.SkinDirectory + "/Material Dark (внутренний).qss");
}

TEST_F(Skins, BuiltInSkinParsesAndKeepsColoursSetByCode)
{
    SkinManager skins;
    skins.SkinDirectory = QString::fromStdString(dir.path());  // holds no skin files
    SampleWindow sample;
    StyleSheetWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(CollectWarnings);
    const bool applied = skins.Apply(*qApp);
    sample.window.show();
    const QImage image = sample.window.grab().toImage();
    qInstallMessageHandler(previous);

    EXPECT_TRUE(applied);
    EXPECT_EQ(qApp->styleSheet(), SkinManager::BuiltInStyleSheet());
    EXPECT_TRUE(StyleSheetWarnings.isEmpty()) << StyleSheetWarnings.join("\n").toStdString();
    // Texts and lamps coloured through a widget's palette keep their colour.
    EXPECT_EQ(sample.coloured->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
    const QPoint lampCentre = sample.lamp->mapTo(&sample.window, QPoint(12, 12));
    EXPECT_EQ(image.pixelColor(lampCentre), QColor(0, 0xFF, 0));
    // Dark window, teal progress.
    EXPECT_EQ(image.pixelColor(sample.window.width() - 3, sample.window.menuBar()->height() + 3),
              QColor(0x26, 0x32, 0x38));
    const QPoint chunk = sample.progress->mapTo(&sample.window, QPoint(6, sample.progress->height() / 2));
    EXPECT_EQ(image.pixelColor(chunk), QColor(0x00, 0x89, 0x7B));
    // The group box is wide enough for its whole title.
    QWidget* box = sample.window.findChild<QWidget*>("GroupBoxLastOk");
    ASSERT_NE(box, nullptr);
    EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance("Последний ОК") + 16);
    SaveScreenshot(sample.window, "skin-material-dark");
    sample.menu->popup(QPoint(10, 30));
    const QImage menuImage = sample.menu->grab().toImage();
    EXPECT_EQ(menuImage.pixelColor(menuImage.width() - 4, menuImage.height() / 2), QColor(0x26, 0x32, 0x38));
    SaveScreenshot(*sample.menu, "skin-material-dark-menu");
    sample.menu->hide();
}

TEST_F(Skins, BuiltInPaletteIsReadable)
{
    const QPalette p = SkinManager::BuiltInPalette();
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> pairs[] = {
        {QPalette::WindowText, QPalette::Window}, {QPalette::Text, QPalette::Base},
        {QPalette::Text, QPalette::AlternateBase}, {QPalette::ButtonText, QPalette::Button},
        {QPalette::HighlightedText, QPalette::Highlight}, {QPalette::ToolTipText, QPalette::ToolTipBase}};
    for (auto [fg, bg] : pairs) {
        SCOPED_TRACE(testing::Message() << fg << " on " << bg);
        EXPECT_GE(Contrast(p.color(fg), p.color(bg)), 3.0);
    }
    EXPECT_GE(Contrast(p.color(QPalette::Text), p.color(QPalette::Base)), 7.0);
    EXPECT_LT(Luminance(p.color(QPalette::Window)), 0.05);
}

TEST_F(Skins, SkinFileFromTheFolder)
{
    struct Case {
        QString name;
        bool file;
        bool applied;
        bool builtIn;
    };
    const Case cases[] = {
        {"Синяя", true, true, false},
        {"Blue", true, true, false},
        {SkinManager::BuiltInSkinName(), true, true, false},   // a file of that name wins
        {SkinManager::BuiltInSkinName(), false, true, true},
        {"Пропавшая", false, false, true},                     // unknown: built-in, name kept
        {"", false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        TempDir folder;
        const QString sheet = "QPushButton { color: #123456; }";
        if (c.file)
            folder.write((c.name + ".qss").toStdString(), sheet.toStdString());
        SkinManager skins;
        skins.SkinDirectory = QString::fromStdString(folder.path());
        skins.SkinName = c.name;
        EXPECT_EQ(skins.Apply(*qApp), c.applied);
        EXPECT_EQ(skins.SkinName, c.name);
        EXPECT_EQ(qApp->styleSheet(), c.builtIn ? SkinManager::BuiltInStyleSheet() : sheet);
        QPushButton button("x");
        button.ensurePolished();
        EXPECT_EQ(button.palette().color(QPalette::ButtonText) == QColor(0x12, 0x34, 0x56), !c.builtIn);
    }
}

TEST(SkinFolder, ProgramSkinsFolderWinsAndTheStoredOneIsNotRead)
{
    TempDir program;
    const QString programDir = QString::fromStdString(program.path());
    const QString current = programDir + "/Skins";
    int reads = 0;
    QString lastDefault;
    auto stored = [&](QString value) {
        return [&, value](const QString& fallback) {
            ++reads;
            lastDefault = fallback;
            return value.isNull() ? fallback : value;
        };
    };

    // No "Skins" folder: the stored folder, else the current one.
    EXPECT_EQ(ChooseSkinDirectory(programDir, current, stored("/opt/skins")), "/opt/skins");
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(lastDefault, current);
    EXPECT_EQ(ChooseSkinDirectory(programDir, current, stored(QString())), current);
    EXPECT_EQ(ChooseSkinDirectory(programDir, current, stored("")), current);
    EXPECT_EQ(reads, 3);

    // A plain file named "Skins" is not a folder.
    program.write("Skins", "");
    EXPECT_EQ(ChooseSkinDirectory(programDir, current, stored("/opt/skins")), "/opt/skins");
    EXPECT_EQ(reads, 4);

    TempDir program2;
    const QString programDir2 = QString::fromStdString(program2.path());
    QDir(programDir2).mkdir("Skins");
    EXPECT_EQ(ChooseSkinDirectory(programDir2, current, stored("/opt/skins")), programDir2 + "/Skins");
    EXPECT_EQ(reads, 4);
}

TEST_F(Skins, DialogsUnderTheBuiltInSkin)
{
    SkinManager skins;
    skins.SkinDirectory = QString::fromStdString(dir.path());
    skins.Apply(*qApp);

    TFormInpText input;
    input.setWindowTitle("COM порт");
    input.Label1->setText("Задайте номер порта 1...");
    input.Label1->adjustSize();
    input.Edit1->setText("1");
    input.show();
    TFormPass pass;
    pass.Edit1->setText("Zv4T");
    pass.show();
    TMessageForm message;
    message.SetMessage("Серийный номер 17-00023 записан в плату");
    message.show();
    TFOkDialog ok;
    ok.SetQuestion("Записать серийный номер в плату?");
    ok.show();

    struct Shot {
        QWidget* window;
        QSize client;
        const char* name;
    };
    const Shot shots[] = {{&input, {447, 221}, "dialog-input-text"},
                          {&pass, {432, 102}, "dialog-pass"},
                          {&message, {710, 399}, "dialog-message"},
                          {&ok, {475, 198}, "dialog-ok"}};
    for (const Shot& s : shots) {
        SCOPED_TRACE(s.name);
        const QImage image = s.window->grab().toImage();
        EXPECT_EQ(image.size(), s.client);
        SaveScreenshot(*s.window, s.name);
    }
    // The edits stay white with black text under the dark skin.
    const QImage edit = input.Edit1->grab().toImage();
    EXPECT_EQ(edit.pixelColor(edit.width() - 4, edit.height() / 2), QColor(Qt::white));
    EXPECT_EQ(pass.Edit1->grab().toImage().pixelColor(pass.Edit1->width() - 4, 13), QColor(Qt::white));
    // The password characters hold under an application style sheet too.
    EXPECT_EQ(pass.Edit1->displayText(), "****");
    input.SetPasswordChar('#');
    EXPECT_EQ(input.Edit1->displayText(), "#");
    // Prompt and question fit their windows uncut.
    EXPECT_LE(input.Label1->geometry().right(), input.width());
    EXPECT_GE(input.Label1->width(), input.Label1->sizeHint().width());
}
