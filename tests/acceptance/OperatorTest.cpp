// The operator's shift in the real window, driven only by keys, clicks and
// the answers typed into the program's own modal windows: the stand found
// on COM1, boards tested and journalled, labels printed three ways, the
// journal window's popup, the memory dumps, a port change, and a restart
// that keeps every setting.
#include "acceptance/Acceptance.h"
#include "app/AppFixture.h"
#include "app/ProductionSupport.h"
#include "dialogs/Uinptext.h"
#include "excel/XlsxReader.h"
#include "journal/JournalGrid.h"
#include "journal/Ulogform.h"
#include "monitor/StatusView.h"
#include "platform/Text.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

using namespace acceptance;
using namespace production;

namespace {

// The label stand-ins run detached: wait for their lines, not for a timer.
std::vector<std::string> WaitForLines(const TempDir& dir, const std::string& name, size_t count)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<std::string> lines;
    while ((lines = Lines(dir.read(name), "\n")).size() < count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return lines;
}

void WriteScript(const std::string& path, const std::string& body)
{
    std::ofstream out(path);
    out << "#!/bin/sh\n" << body;
    out.close();
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

// Right-clicks a journal row where it is drawn, through the window system, as
// a mouse does; the grid's popup opens at the pointer.
void RightClickRow(TLogForm& form, int gridRow)
{
    QTableView* view = form.StringGrid1;
    const QRect cell = view->visualRect(view->model()->index(gridRow - 1, 2));
    const QPoint at = view->viewport()->mapTo(&form, cell.center());
    QTest::mouseClick(form.windowHandle(), Qt::RightButton, {}, at);
}

::testing::AssertionResult ChooseFromPopup(TLogForm& form, int gridRow, QAction* item)
{
    RightClickRow(form, gridRow);
    if (!form.PopupMenu1->isVisible())
        return ::testing::AssertionFailure() << "no popup over row " << gridRow;
    QTest::mouseClick(form.PopupMenu1, Qt::LeftButton, {}, form.PopupMenu1->actionGeometry(item).center());
    if (form.PopupMenu1->isVisible())
        return ::testing::AssertionFailure() << "the popup stayed open";
    return ::testing::AssertionSuccess();
}

// The texts of one journal file line, without its final ";".
QStringList Fields(const std::string& line)
{
    QStringList fields = FromCp1251(line).split(QLatin1Char(';'));
    if (!fields.isEmpty() && fields.last().isEmpty())
        fields.removeLast();
    return fields;
}

QStringList ShownRow(const TLogForm& form, int gridRow)
{
    QStringList out;
    const QAbstractItemModel* model = form.StringGrid1->model();
    for (int c = 0; c < model->columnCount(); ++c)
        out << model->data(model->index(gridRow - 1, c), Qt::DisplayRole).toString();
    return out;
}

class EnvVar {
public:
    EnvVar(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvVar()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(OperatorAcceptance, AShiftAtTheStandFromStartToRestart)
{
    AppFixture app;
    TempDir work;   // the program's current folder, with the label programs
    TempDir stand;  // the simulator's memories and its record of events
    WriteLabelStandIn(work.file("LblPrint.exe"), work.file("labels.txt"));
    WriteLabelStandIn(work.file("LblPrintR.exe"), work.file("labels.txt"));
    CurrentDir cwd(QString::fromStdString(work.path()));
    Modals modals;

    // --- Start: the stand on COM1 of the data folder ---------------------------------------
    ASSERT_TRUE(app.StartSim({"--scenario", "production", "--cycle-ms", "1200", "--seed", "7", "--stand", "3",
                              "--state-dir", stand.path()}));
    TMainZorvaForm& w = app.Open();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: OK"));
    EXPECT_TRUE(w.windowTitle().startsWith(QString::fromUtf8(TMainZorvaForm::kDesignCaption)));
    EXPECT_FALSE(w.mLic->menuAction()->isVisible());
    EXPECT_FALSE(w.LogForm()->isVisible());

    // --- Настройки → Журнал, Настройки → Автоматическая печать этикеток --------------------
    ASSERT_TRUE(ChooseFromMenu(w, w.mSetup, w.mLogForm));
    EXPECT_TRUE(w.mLogForm->isChecked());
    TLogForm& journal = *w.LogForm();
    ASSERT_TRUE(journal.isVisible());
    ASSERT_TRUE(ChooseFromMenu(w, w.mSetup, w.mAutoPrint));
    EXPECT_TRUE(w.mAutoPrint->isChecked());
    EXPECT_TRUE(w.mRightSide->isChecked());

    // --- The poll until three boards have passed, watching the test panel -------------------
    int testTicks = 0, allLime = 0, mixed = 0, wrongColours = 0, wrongPaint = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (PassedBoards(stand) < 3 && std::chrono::steady_clock::now() < deadline) {
        app.Ticks(1);
        if (w.PanelTest->isHidden())
            continue;
        ++testTicks;
        int lime = 0, red = 0;
        for (TShape* shape : w.Shapes) {
            const QColor c = shape->BrushColor();
            lime += c == Colors::Lime;
            red += c == Colors::Red;
            wrongColours += c != Colors::Lime && c != Colors::Red && c != Colors::Silver;
        }
        allLime += lime == 14;
        // A lamp that is on must show on the screen in its colour, not only in a field.
        if (lime > 0 && red > 0 && mixed++ < 3) {
            for (TShape* shape : w.Shapes) {
                const QImage painted = shape->grab().toImage();
                wrongPaint += painted.pixelColor(painted.rect().center()) != shape->BrushColor();
            }
        }
    }
    app.Ticks(3);
    ASSERT_GE(PassedBoards(stand), 3) << "the stand passed too few boards in time";
    EXPECT_GT(testTicks, 0);
    EXPECT_GE(allLime, 3) << "each passed board shows every lamp lime";
    EXPECT_GT(mixed, 0) << "lamps came on one by one";
    EXPECT_EQ(wrongColours, 0);
    EXPECT_EQ(wrongPaint, 0);

    // --- The journal file and the journal window --------------------------------------------
    const std::vector<SimEvent> events = ReadSimEvents(stand.read("events.log"));
    const std::vector<std::string> lines = Lines(app.data.read("StendZorva.log"), "\r\n");
    EXPECT_EQ(JournalWithoutDateTime(app.data.read("StendZorva.log")), ExpectedJournal(events, 3));
    ASSERT_FALSE(lines.empty());
    const QRegularExpression date(QStringLiteral("^\\d\\d\\D\\d\\d\\D\\d{4}$"));
    const QRegularExpression time(QStringLiteral("^\\d\\d\\D\\d\\d\\D\\d\\d$"));
    for (const std::string& line : lines) {
        QStringList f = Fields(line);
        ASSERT_EQ(f.size(), 7) << line;
        EXPECT_TRUE(date.match(f[0]).hasMatch()) << line;
        EXPECT_TRUE(time.match(f[1]).hasMatch()) << line;
    }
    // The window shows the same rows, cell for cell, as its grid draws them.
    ASSERT_EQ(journal.StringGrid1->model()->rowCount(), static_cast<int>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(ShownRow(journal, static_cast<int>(i) + 1), Fields(lines[i])) << "row " << i + 1;

    std::vector<std::string> passed;
    const SimEvent* lastPassed = nullptr;
    for (const SimEvent& e : events)
        if (e.events & 0x08) {
            passed.push_back(e.serial);
            lastPassed = &e;
        }
    ASSERT_NE(lastPassed, nullptr);
    EXPECT_EQ(w.LabelLastSerNum->text().toStdString(), lastPassed->serial);
    EXPECT_EQ(w.LabelLastTok->text(), QString::number(lastPassed->microamps));

    // --- Automatic labels: one right label per passed board ---------------------------------
    std::vector<std::string> labels = WaitForLines(work, "labels.txt", passed.size());
    std::vector<std::string> expectedLabels;
    for (const std::string& serial : passed)
        expectedLabels.push_back("LblPrintR.exe SN=" + serial);
    std::vector<std::string> sortedLabels = labels;
    std::sort(sortedLabels.begin(), sortedLabels.end());
    std::sort(expectedLabels.begin(), expectedLabels.end());
    ASSERT_EQ(sortedLabels, expectedLabels);
    size_t labelCount = labels.size();

    // --- Left side, then a label for a typed number -----------------------------------------
    ASSERT_TRUE(ChooseFromMenu(w, w.mSetup, w.mLeftSide));
    EXPECT_TRUE(w.mLeftSide->isChecked());
    EXPECT_FALSE(w.mRightSide->isChecked());

    modals.Then<QInputDialog>("the number box", [](QInputDialog& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Задайте"));
        EXPECT_EQ(box.labelText(), QStringLiteral("Номер платы для этикетки..."));
        EXPECT_EQ(box.textValue(), QStringLiteral("17-00001"));
        QLineEdit* edit = box.findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        TypeInto(edit, QStringLiteral("17-00777"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    ASSERT_TRUE(ChooseFromMenu(w, w.mSetup, w.mPrintNum));
    EXPECT_TRUE(modals.AllAnswered());
    EXPECT_EQ(w.LastPrinted, QStringLiteral("17-00777"));
    labels = WaitForLines(work, "labels.txt", ++labelCount);
    ASSERT_EQ(labels.size(), labelCount);
    EXPECT_EQ(labels.back(), "LblPrint.exe SN=17-00777");

    // --- "Напечатать этикетку": the board now in the stand ----------------------------------
    const QString inStand = w.LabelSerNum->text();
    ASSERT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d-\\d{5}$")).match(inStand).hasMatch())
        << inStand.toStdString();
    QTest::mouseClick(w.ButtonPrint, Qt::LeftButton);
    labels = WaitForLines(work, "labels.txt", ++labelCount);
    ASSERT_EQ(labels.size(), labelCount);
    EXPECT_EQ(labels.back(), "LblPrint.exe SN=" + inStand.toStdString());

    // --- The journal's popup: a label from a row --------------------------------------------
    ASSERT_GE(journal.Grid().RowCount(), 3);
    ASSERT_TRUE(ChooseFromPopup(journal, 2, journal.pmPrint));
    EXPECT_EQ(journal.SelectedRow(), 2);
    labels = WaitForLines(work, "labels.txt", ++labelCount);
    ASSERT_EQ(labels.size(), labelCount);
    EXPECT_EQ(labels.back(), "LblPrint.exe SN=" + ToCp1251(journal.Grid().Cell(2, 3)));

    // --- The journal's popup: export. The workbook goes to the temporary folder and is handed
    // to the desktop, here stand-ins that say a spreadsheet program exists and note the file.
    {
        TempDir tmp, bin;
        WriteScript(bin.file("xdg-mime"), "echo calc.desktop\n");
        WriteScript(bin.file("xdg-open"), "echo \"$1\" >> '" + bin.file("opened.txt") + "'\n");
        EnvVar tmpdir("TMPDIR", tmp.path());
        EnvVar path("PATH", bin.path() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"));
        ASSERT_TRUE(ChooseFromPopup(journal, 1, journal.pmMicrosoftExcel));
        EXPECT_TRUE(modals.AllAnswered());

        std::vector<std::filesystem::path> books;
        for (const auto& entry : std::filesystem::directory_iterator(tmp.path()))
            books.push_back(entry.path());
        ASSERT_EQ(books.size(), 1u);
        EXPECT_EQ(books[0].extension(), ".xlsx");
        std::vector<std::string> opened = WaitForLines(bin, "opened.txt", 1);
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(QUrl::fromUserInput(QString::fromStdString(opened[0])).toLocalFile().toStdString(),
                  books[0].string());

        QString error;
        QJsonObject sheet = FirstSheet(ReadXlsx(QString::fromStdString(books[0].string()), &error));
        ASSERT_FALSE(sheet.isEmpty()) << error.toStdString();
        EXPECT_EQ(sheet[QStringLiteral("max_row")].toInt(), journal.Grid().RowCount());
        EXPECT_EQ(CellOf(sheet, QStringLiteral("D1"))[QStringLiteral("value")].toString(), QStringLiteral("Номер"));
        for (int r = 1; r < journal.Grid().RowCount(); ++r)
            for (int c = 1; c < JournalGrid::kColumns; ++c) {
                const QString address = QString(QChar('A' + c)) + QString::number(r + 1);
                EXPECT_EQ(CellOf(sheet, address)[QStringLiteral("value")].toString(), journal.Grid().Cell(r, c))
                    << address.toStdString();
            }
    }

    // --- The journal's popup: another journal file through the open dialog ------------------
    const std::string other = ToCp1251(QStringLiteral("01.02.2016;10:11:12;16-00100;Тестирование;140;OK;9;\r\n"
                                                      "01.02.2016;10:15:40;16-00101;Программирование;;Ошибка 4;9;\r\n"));
    TempDir archive;  // a journal kept elsewhere
    archive.write("other.log", other);
    modals.Then<QFileDialog>("the open dialog", [&](QFileDialog& dialog) {
        AnswerFileDialog(dialog, QString::fromStdString(archive.file("other.log")));
    });
    ASSERT_TRUE(ChooseFromPopup(journal, 1, journal.pmOpenLog));
    EXPECT_TRUE(modals.AllAnswered());
    ASSERT_EQ(journal.StringGrid1->model()->rowCount(), 2);
    const std::vector<std::string> otherLines = Lines(other, "\r\n");
    EXPECT_EQ(ShownRow(journal, 1), Fields(otherLines[0]));
    EXPECT_EQ(ShownRow(journal, 2), Fields(otherLines[1]));
    EXPECT_EQ(journal.SelectedRow(), 1);

    // --- F6, F7, F8: the stand's memories in the list ---------------------------------------
    ASSERT_TRUE(Reactivate(w));
    const std::string epromBefore = stand.read("eprom.bin");
    QTest::keyClick(&w, Qt::Key_F6);
    const std::string epromAfter = stand.read("eprom.bin");
    ASSERT_TRUE(w.ListBox1->isVisible());
    ASSERT_EQ(w.ListBox1->count(), 16);
    ASSERT_EQ(epromAfter.size(), 256u);
    QStringList shown, before, after;
    for (int i = 0; i < 16; ++i) {
        shown << w.ListBox1->item(i)->text();
        before << DumpLine(i * 16, 2, epromBefore);
        after << DumpLine(i * 16, 2, epromAfter);
    }
    EXPECT_TRUE(shown == before || shown == after) << shown.join('\n').toStdString();
    EXPECT_TRUE(shown[1].startsWith(QStringLiteral("10: 03 ")));  // the stand number

    modals.Then<QInputDialog>("the FLASH address box", [](QInputDialog& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("FLASH"));
        EXPECT_EQ(box.labelText(), QStringLiteral("Задайте адрес"));
        EXPECT_EQ(box.textValue(), QStringLiteral("0"));
        QLineEdit* edit = box.findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        TypeInto(edit, QStringLiteral("32768"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QTest::keyClick(&w, Qt::Key_F7);
    EXPECT_TRUE(modals.AllAnswered());
    ASSERT_TRUE(Reactivate(w));
    QTest::keyClick(&w, Qt::Key_F8);
    ASSERT_EQ(w.ListBox1->count(), 20);
    const std::string flash = stand.read("flash.bin");  // absent while nothing was written: all FF
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(w.ListBox1->item(16 + i)->text(), DumpLine(0x8000 + 16 * i, 4, flash)) << "line " << 16 + i;
    EXPECT_EQ(w.FlashViewAddress(), 0x8040);

    // --- Настройки → COM порт: the stand moves to COM2 --------------------------------------
    std::filesystem::create_symlink(std::filesystem::read_symlink(app.data.file("COM1")), app.data.file("COM2"));
    modals.Then<TFormInpText>("the port window", [](TFormInpText& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("COM порт"));
        EXPECT_EQ(form.Label1->text(), QStringLiteral("Задайте номер порта 1..."));
        EXPECT_EQ(form.Edit1->text(), QStringLiteral("1"));
        // The old number is selected: typing replaces it.
        EXPECT_EQ(form.Edit1->selectedText(), QStringLiteral("1"));
        QTest::keyClicks(form.Edit1, QStringLiteral("2"));
        EXPECT_EQ(form.Edit1->text(), QStringLiteral("2"));
        QTest::mouseClick(form.sBitBtn, Qt::LeftButton);
    });
    ASSERT_TRUE(ChooseFromMenu(w, w.mSetup, w.mCOM));
    EXPECT_TRUE(modals.AllAnswered());
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM2: OK"));
    EXPECT_EQ(w.Channel().Port, 1);
    const int passedBefore = PassedBoards(stand);
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (PassedBoards(stand) == passedBefore && std::chrono::steady_clock::now() < deadline)
        app.Ticks(1);
    app.Ticks(3);
    EXPECT_GT(PassedBoards(stand), passedBefore) << "the stand answers over COM2";
    EXPECT_TRUE(w.PanelText(1).isEmpty()) << w.PanelText(1).toStdString();
    // Boards passed now get the left label by themselves.
    std::vector<std::string> leftLabels;
    const std::vector<SimEvent> laterEvents = ReadSimEvents(stand.read("events.log"));
    for (size_t i = events.size(); i < laterEvents.size(); ++i)
        if (laterEvents[i].events & 0x08)
            leftLabels.push_back("LblPrint.exe SN=" + laterEvents[i].serial);
    ASSERT_FALSE(leftLabels.empty());
    labelCount += leftLabels.size();
    labels = WaitForLines(work, "labels.txt", labelCount);
    ASSERT_EQ(labels.size(), labelCount);
    std::vector<std::string> newLabels(labels.end() - static_cast<long>(leftLabels.size()), labels.end());
    std::sort(newLabels.begin(), newLabels.end());
    std::sort(leftLabels.begin(), leftLabels.end());
    EXPECT_EQ(newLabels, leftLabels);

    // --- The serial fields, typed -----------------------------------------------------------
    TypeInto(w.EditYear, QStringLiteral("18"));
    TypeInto(w.EditNum, QStringLiteral("00042"));

    // --- Файл → Выход -----------------------------------------------------------------------
    ASSERT_TRUE(ChooseFromMenu(w, w.mFile, w.mClose));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.LogForm(), nullptr);
    app.window.reset();
    const std::string ini = app.data.read("StendZorva.ini");
    EXPECT_NE(ini.find("[SETUP]\r\nComPort=1\r\nAutoPrint=1\r\nRightSide=0\r\nLastPrinted=17-00777\r\nLogForm=1\r\n"
                       "Num=00042\r\nYear=18\r\n"),
              std::string::npos)
        << ini;

    // --- Restart: everything as it was left -------------------------------------------------
    TMainZorvaForm& again = app.Open();
    again.show();
    EXPECT_EQ(again.PanelText(0), QStringLiteral("COM2: OK"));
    EXPECT_EQ(again.Channel().Port, 1);
    EXPECT_TRUE(again.mAutoPrint->isChecked());
    EXPECT_TRUE(again.mLeftSide->isChecked());
    EXPECT_FALSE(again.mRightSide->isChecked());
    EXPECT_EQ(again.LastPrinted, QStringLiteral("17-00777"));
    EXPECT_TRUE(again.mLogForm->isChecked());
    ASSERT_NE(again.LogForm(), nullptr);
    EXPECT_TRUE(again.LogForm()->isVisible());
    EXPECT_EQ(again.EditYear->text(), QStringLiteral("18"));
    EXPECT_EQ(again.EditNum->text(), QStringLiteral("00042"));
    app.Ticks(1);
    EXPECT_EQ(again.PanelText(2), QStringLiteral("Стенд №3 ПО v2"));
    app.Close();
    EXPECT_EQ(modals.Answered(), 4);
}
