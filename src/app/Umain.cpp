#include "app/Umain.h"

#include "app/Skin.h"
#include "dialogs/Uinptext.h"
#include "dialogs/Upass.h"
#include "journal/Journal.h"
#include "journal/Ulogform.h"
#include "monitor/StatusView.h"
#include "platform/Text.h"
#include "service/FirmwareImage.h"
#include "service/SerialNumber.h"
#include "service/SerialWrite.h"
#include "service/StandConfig.h"
#include "service/Usernum.h"
#include "store/Decimal.h"
#include "store/Fastini.h"
#include "store/Func.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

const char* const TMainZorvaForm::kDesignCaption = "Стенд ЗОРВА-ТК GSM  (Lite)";
const char* const TMainZorvaForm::kUnlockedCaption = "Стенд ЗОРВА-ТК (GSM)";

namespace {

const QString kPlaceholder = QStringLiteral("----");

QFont DesignFont(int pixelHeight)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    return font;
}

// A label's own sheet wins over the panel's, so the current keeps its colour.
void SetTextColour(QLabel* label, const QColor& colour)
{
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; }").arg(colour.name()));
}

QLabel* MakeLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

TShape::TShape(QWidget* parent) : QWidget(parent), colour_(Colors::Silver)
{
    setFixedSize(18, 18);
}

void TShape::SetBrushColor(const QColor& colour)
{
    if (colour_ == colour)
        return;
    colour_ = colour;
    update();
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(colour_);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

TMainZorvaForm::TMainZorvaForm(const std::string& dataDirOption, QWidget* parent) : QMainWindow(parent)
{
    // Constructor steps: the design, the channel, the data folder, the caption.
    BuildWindow();
    serialWriter_ = std::make_unique<SerialWriter>([this] { return tick_(); });
    firmware_ = std::make_unique<FirmwareImage>();
    ClearFirmwareImage(*firmware_);
    AppDataDir = GetAppDataDir("StendZorva", dataDirOption);
    setWindowTitle(QString::fromUtf8(kDesignCaption) +
                   QStringLiteral(" v%1.%2.%3").arg(ZORVA_VERSION_MAJOR).arg(ZORVA_VERSION_MINOR).arg(ZORVA_VERSION_PATCH));

    timer1_ = new QTimer(this);
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &TMainZorvaForm::Timer1Timer);
    timer1_->start();
}

TMainZorvaForm::~TMainZorvaForm()
{
    qApp->removeEventFilter(this);
}

void TMainZorvaForm::BuildWindow()
{
    setObjectName(QStringLiteral("MainZorvaForm"));
    setFont(DesignFont(15));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(129);
    auto* top = new QHBoxLayout(Panel1);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);

    BuildStatusPanel();
    BuildSerialPanel();
    top->addWidget(sPanel2);
    top->addWidget(sPanel1);

    ListBox1 = new QListWidget(Panel1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(11);
    ListBox1->setFont(mono);
    ListBox1->setStyleSheet(QStringLiteral("QListWidget { background: #263138; color: #E6EEFF; }"
                                           "QListWidget::item { height: 14px; }"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    // A dump line is read whole: once the list shows, the window widens to fit one.
    const QString widestLine = QStringLiteral("FFFF: ") + QStringLiteral("FF ").repeated(16);
    ListBox1->setMinimumWidth(QFontMetrics(mono).horizontalAdvance(widestLine) + 2 * ListBox1->frameWidth() + 24);
    ListBox1->hide();
    top->addWidget(ListBox1, 1);
    // Without the list the top panel keeps its width to the right empty.
    top->addStretch(0);

    layout->addWidget(Panel1);
    layout->addStretch(1);

    BuildTestPanel();
    layout->addWidget(PanelTest);

    PanelProgress = new QFrame(central);
    PanelProgress->setObjectName(QStringLiteral("PanelProgress"));
    PanelProgress->setFixedHeight(41);
    auto* progressLayout = new QHBoxLayout(PanelProgress);
    progressLayout->setContentsMargins(8, 6, 8, 6);
    ProgressBar1 = new QProgressBar(PanelProgress);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    progressLayout->addWidget(ProgressBar1);
    PanelProgress->hide();
    layout->addWidget(PanelProgress);

    auto* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    const int widths[3] = {150, 200, 50};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        // The last panel takes the rest of the bar, as the service texts need it.
        if (i < 2)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(widths[i]);
        bar->addWidget(panel, i == 2 ? 1 : 0);
        StatusPanels[static_cast<size_t>(i)] = panel;
    }

    journalWarning_ = new QLabel(bar);
    journalWarning_->setObjectName(QStringLiteral("JournalWarning"));
    journalWarning_->setStyleSheet(QStringLiteral("QLabel { color: #C00000; font-weight: bold; }"));
    journalWarning_->hide();
    bar->addPermanentWidget(journalWarning_);

    BuildMenus();
    resize(1082, 472 + menuBar()->sizeHint().height() + bar->sizeHint().height());
}

void TMainZorvaForm::BuildStatusPanel()
{
    sPanel2 = new QFrame(Panel1);
    sPanel2->setObjectName(QStringLiteral("sPanel2"));
    sPanel2->setFrameShape(QFrame::StyledPanel);
    sPanel2->setFixedWidth(724);
    // The stand's display keeps a light face whatever the skin: its current
    // is painted black or red, and both must stay readable.
    sPanel2->setStyleSheet(QStringLiteral("QFrame#sPanel2 { background-color: #ECEFF1; }"
                                          "QFrame#sPanel2 QLabel, QFrame#sPanel2 QGroupBox { color: #1B2327; }"));
    auto* grid = new QGridLayout(sPanel2);
    grid->setContentsMargins(10, 6, 10, 6);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);

    LabelState = MakeLabel(kPlaceholder, sPanel2);
    LabelState->setObjectName(QStringLiteral("LabelState"));
    LabelI = MakeLabel(kPlaceholder, sPanel2);
    LabelI->setObjectName(QStringLiteral("LabelI"));
    LabelUnit = MakeLabel(QStringLiteral("[мА]"), sPanel2);
    LabelUnit->setObjectName(QStringLiteral("LabelUnit"));
    LabelSerNum = MakeLabel(kPlaceholder, sPanel2);
    LabelSerNum->setObjectName(QStringLiteral("LabelSerNum"));
    // Only the weight is set, so the size still follows the window's font.
    QFont bold;
    bold.setBold(true);
    for (QLabel* value : {LabelState, LabelI, LabelUnit, LabelSerNum})
        value->setFont(bold);

    grid->addWidget(MakeLabel(QStringLiteral("Состояние:"), sPanel2), 0, 0);
    grid->addWidget(LabelState, 0, 1, 1, 3);
    grid->addWidget(MakeLabel(QStringLiteral("Ток:"), sPanel2), 1, 0);
    auto* current = new QHBoxLayout;
    current->setSpacing(6);
    current->addWidget(LabelI);
    current->addWidget(LabelUnit);
    current->addStretch(1);
    grid->addLayout(current, 1, 1);
    grid->addWidget(MakeLabel(QStringLiteral("Номер:"), sPanel2), 2, 0);
    grid->addWidget(LabelSerNum, 2, 1);

    ButtonPrint = new QPushButton(QStringLiteral("Напечатать этикетку"), sPanel2);
    ButtonPrint->setObjectName(QStringLiteral("ButtonPrint"));
    ButtonPrint->setFocusPolicy(Qt::TabFocus);
    connect(ButtonPrint, &QPushButton::clicked, this, &TMainZorvaForm::ButtonPrintClick);
    grid->addWidget(ButtonPrint, 1, 2, 2, 1, Qt::AlignVCenter);

    GroupBox1 = new QGroupBox(QStringLiteral("Последний ОК"), sPanel2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* box = new QGridLayout(GroupBox1);
    box->setContentsMargins(8, 4, 8, 4);
    box->setVerticalSpacing(2);
    LabelLastSerNum = MakeLabel(kPlaceholder, GroupBox1);
    LabelLastSerNum->setObjectName(QStringLiteral("LabelLastSerNum"));
    LabelLastTok = MakeLabel(kPlaceholder, GroupBox1);
    LabelLastTok->setObjectName(QStringLiteral("LabelLastTok"));
    box->addWidget(MakeLabel(QStringLiteral("Номер:"), GroupBox1), 0, 0);
    box->addWidget(LabelLastSerNum, 0, 1);
    box->addWidget(MakeLabel(QStringLiteral("Ток, мкА:"), GroupBox1), 1, 0);
    box->addWidget(LabelLastTok, 1, 1);
    GroupBox1->setMinimumWidth(230);
    grid->addWidget(GroupBox1, 1, 3, 2, 1);
    grid->setColumnStretch(1, 1);
}

void TMainZorvaForm::BuildSerialPanel()
{
    sPanel1 = new QFrame(Panel1);
    sPanel1->setObjectName(QStringLiteral("sPanel1"));
    sPanel1->setFrameShape(QFrame::StyledPanel);
    sPanel1->setFixedWidth(176);
    auto* column = new QVBoxLayout(sPanel1);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(6);
    column->addWidget(MakeLabel(QStringLiteral("Серийный номер"), sPanel1), 0, Qt::AlignHCenter);

    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    ShapeSN = new TShape(sPanel1);
    ShapeSN->setObjectName(QStringLiteral("ShapeSN"));
    ShapeSN->SetBrushColor(Colors::Silver);
    EditYear = new QLineEdit(QStringLiteral("17"), sPanel1);
    EditYear->setObjectName(QStringLiteral("EditYear"));
    EditYear->setFixedWidth(36);
    EditNum = new QLineEdit(QStringLiteral("12345"), sPanel1);
    EditNum->setObjectName(QStringLiteral("EditNum"));
    EditNum->setFixedWidth(72);
    row->addWidget(ShapeSN);
    row->addWidget(EditYear);
    row->addWidget(MakeLabel(QStringLiteral("-"), sPanel1));
    row->addWidget(EditNum);
    row->addStretch(1);
    column->addLayout(row);

    ButtonWriteSN = new QPushButton(QStringLiteral("Записать"), sPanel1);
    ButtonWriteSN->setObjectName(QStringLiteral("ButtonWriteSN"));
    ButtonWriteSN->setEnabled(false);
    connect(ButtonWriteSN, &QPushButton::clicked, this, &TMainZorvaForm::ButtonWriteSNClick);
    column->addWidget(ButtonWriteSN);
    column->addStretch(1);
}

void TMainZorvaForm::BuildTestPanel()
{
    PanelTest = new QFrame(centralWidget());
    PanelTest->setObjectName(QStringLiteral("PanelTest"));
    PanelTest->setFrameShape(QFrame::StyledPanel);
    PanelTest->setFixedHeight(280);
    auto* grid = new QGridLayout(PanelTest);
    grid->setContentsMargins(24, 10, 24, 10);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    const auto& layout = LampLayout();
    for (size_t i = 0; i < layout.size(); ++i) {
        const LampSpec& lamp = layout[i];
        int row = static_cast<int>(i % 7);
        int col = static_cast<int>(i / 7) * 2;
        auto* shape = new TShape(PanelTest);
        shape->setObjectName(QStringLiteral("Shape%1").arg(lamp.shape));
        Shapes[static_cast<size_t>(lamp.shape - 1)] = shape;
        grid->addWidget(shape, row, col);
        grid->addWidget(MakeLabel(lamp.caption, PanelTest), row, col + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    LabelStage = MakeLabel(QStringLiteral("---"), PanelTest);
    LabelStage->setObjectName(QStringLiteral("LabelStage"));
    QFont bold;
    bold.setBold(true);
    LabelStage->setFont(bold);
    grid->addWidget(LabelStage, 7, 0, 1, 4);
    PanelTest->hide();
}

void TMainZorvaForm::BuildMenus()
{
    auto* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    mFile = bar->addMenu(QStringLiteral("&Файл"));
    mID = mFile->addAction(QStringLiteral("Информация о плате"), this, &TMainZorvaForm::mIDClick);
    mFile->addSeparator();
    mClose = mFile->addAction(QStringLiteral("Выход"), this, [this] { close(); });

    mSetup = bar->addMenu(QStringLiteral("Настройки"));
    mCOM = mSetup->addAction(QStringLiteral("COM порт"), this, &TMainZorvaForm::mCOMClick);
    mSetup->addSeparator();
    mAutoPrint = mSetup->addAction(QStringLiteral("Автоматическая печать этикеток"), this, &TMainZorvaForm::mAutoPrintClick);
    mAutoPrint->setCheckable(true);
    mPrintNum = mSetup->addAction(QStringLiteral("Напечатать этикетку для номера..."), this, &TMainZorvaForm::mPrintNumClick);
    mSetup->addSeparator();
    auto* side = new QActionGroup(this);
    side->setExclusive(true);
    mRightSide = mSetup->addAction(QStringLiteral("Печать правой этикетки (начало ленты)"));
    mLeftSide = mSetup->addAction(QStringLiteral("Печать левой этикетки (после правой)"));
    for (QAction* a : {mRightSide, mLeftSide}) {
        a->setCheckable(true);
        side->addAction(a);
    }
    mRightSide->setChecked(true);
    mSetup->addSeparator();
    mLogForm = mSetup->addAction(QStringLiteral("Журнал"), this, &TMainZorvaForm::mLogFormClick);
    mLogForm->setCheckable(true);

    mLic = bar->addMenu(QStringLiteral("Стенд"));
    mProcha = mLic->addAction(QStringLiteral("Загрузить прошивку..."), this, &TMainZorvaForm::mProchaClick);
    mCompareFile = mLic->addAction(QStringLiteral("Сравнить прошивку с файлом..."), this, &TMainZorvaForm::mCompareFileClick);
    mLic->addSeparator();
    mSerNum = mLic->addAction(QStringLiteral("Серийные номера..."), this, &TMainZorvaForm::mSerNumClick);
    mLic->addSeparator();
    mStendNum = mLic->addAction(QStringLiteral("Задать номер стенда"), this, &TMainZorvaForm::mStendNumClick);
    mLic->addSeparator();
    mPlataversion = mLic->addAction(QStringLiteral("Задать версию платы счётчика газа"), this, &TMainZorvaForm::mPlataversionClick);
    mLic->menuAction()->setVisible(false);

    // Never shown: its commands are reached only through F6, F7 and F8.
    mDo = bar->addMenu(QStringLiteral("Выполнить"));
    mReadEPROM = mDo->addAction(QStringLiteral("Чтение EPROM"), this, &TMainZorvaForm::mReadEPROMClick);
    mReadEPROM->setShortcut(Qt::Key_F6);
    mDo->addSeparator();
    mReadFLASH = mDo->addAction(QStringLiteral("Чтение FLASH"), this, &TMainZorvaForm::mReadFLASHClick);
    mReadFLASH->setShortcut(Qt::Key_F7);
    mNextFLASH = mDo->addAction(QStringLiteral("Продолжить чтение FLASH"), this, &TMainZorvaForm::mNextFLASHClick);
    mNextFLASH->setShortcut(Qt::Key_F8);
    pmWrite = mDo->addAction(QStringLiteral("Запись"));
    mDo->menuAction()->setVisible(false);
    // A hidden menu's shortcuts must still work, so the window carries the actions too.
    for (QAction* a : {mReadEPROM, mReadFLASH, mNextFLASH}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
}

void TMainZorvaForm::SetTickSource(TickSource source)
{
    tick_ = std::move(source);
}

QString TMainZorvaForm::PanelText(int index) const
{
    return StatusPanels[static_cast<size_t>(index)]->text();
}

void TMainZorvaForm::SetPanelText(int index, const QString& text)
{
    StatusPanels[static_cast<size_t>(index)]->setText(text);
}

void TMainZorvaForm::SetShapeSNColor(const QColor& colour)
{
    ShapeSN->SetBrushColor(colour);
}

void TMainZorvaForm::OpenStandPort(int n)
{
    com_.Close();
    com_.Port = n;
    com_.BaudIndex = 11;
    com_.Parity = 0;
    com_.StopBits = 0;
    com_.SetTimeout(500);
    com_.Open();
    SetPanelText(0, QStringLiteral("COM%1: %2").arg(static_cast<qint64>(n) + 1)
                        .arg(com_.IsOpen() ? QStringLiteral("OK") : QStringLiteral("Не открыт")));
}

bool TMainZorvaForm::QueryStatus()
{
    return link_.QueryStatus(standStatus_);
}

bool TMainZorvaForm::QueryStandInfo()
{
    if (!link_.QueryStandInfo(standInfo_))
        return false;
    standInfoKnown_ = true;
    SetPanelText(2, QString::fromStdString(StandIdentityText(standInfo_)));
    return true;
}

void TMainZorvaForm::ResetLamps()
{
    for (TShape* shape : Shapes)
        shape->SetBrushColor(Colors::Silver);
}

void TMainZorvaForm::ShowPollFailure(const QString& panelText)
{
    ResetLamps();
    SetPanelText(1, panelText);
    LabelUnit->setText(QString());
    SetTextColour(LabelI, Colors::Black);
    LabelI->setText(QStringLiteral("-"));
}

void TMainZorvaForm::Timer1Timer()
{
    if (closed_)
        return;
    // A firmware command owns the line while its panel shows.
    if (!PanelProgress->isHidden()) {
        ButtonWriteSN->setEnabled(false);
        return;
    }
    ButtonWriteSN->setEnabled(WriteSerialEnabled(false, standStatus_, standInfo_));
    // Entries that wait for a held journal file go in as soon as it is free.
    if (journal_ && journal_->PendingCount() > 0) {
        journal_->Flush();
        ShowJournalWarning();
    }

    if (!standInfoKnown_ && !QueryStandInfo()) {
        ShowPollFailure(QStringLiteral("Стенд недоступен..."));
        return;
    }
    CheckSerialWriteStep();
    if (!QueryStatus()) {
        ShowPollFailure(QStringLiteral("Error"));
        return;
    }
    SetPanelText(1, QString());

    CurrentView current = CurrentDisplay(standStatus_);
    for (QLabel* label : {LabelI, LabelUnit})
        SetTextColour(label, current.colour);
    LabelI->setText(current.value);
    LabelUnit->setText(current.unit);

    if (auto text = StateText(standStatus_.State))
        LabelState->setText(*text);

    if (standStatus_.State == kStateTestMode) {
        auto colours = LampColors(standStatus_);
        for (size_t i = 0; i < Shapes.size(); ++i)
            Shapes[i]->SetBrushColor(colours[i]);
        if (PanelTest->isHidden())
            PanelTest->show();
        if (auto text = StageText(standStatus_.Stage))
            LabelStage->setText(*text);
    } else {
        PanelTest->hide();
    }

    LabelSerNum->setText(FormatSerialNumber(standStatus_.Year, standStatus_.Number));
    HandleResultEvents();
}

void TMainZorvaForm::HandleResultEvents()
{
    for (const EventEntry& entry : EventEntries(standStatus_)) {
        if (entry.action == QStringLiteral("Тестирование")) {
            LabelLastTok->setText(QString::number(standStatus_.CurrentMicroamps));
            LabelLastSerNum->setText(FormatSerialNumber(standStatus_.Year, standStatus_.Number));
        }
        WriteJournalEntry(entry.action, entry.result);
    }
    if (TestPassed(standStatus_) && mAutoPrint->isChecked())
        PrintLabel(LabelSerNum->text());
}

void TMainZorvaForm::PrintLabel(const QString& serialText)
{
    ::PrintLabel(mRightSide->isChecked(), serialText, labelLauncher_);
}

void TMainZorvaForm::ButtonPrintClick()
{
    PrintLabel(LabelSerNum->text());
}

void TMainZorvaForm::mAutoPrintClick()
{
    // The action toggles its own check mark; nothing else to do.
}

void TMainZorvaForm::closeEvent(QCloseEvent* event)
{
    if (!closed_)
        FormClose();
    event->accept();
    QMainWindow::closeEvent(event);
    qApp->quit();
}

bool TMainZorvaForm::eventFilter(QObject* watched, QEvent* event)
{
    // The window sees every key first, whichever of its controls has the focus.
    // A key its controls leave travels on up through their parents: act on it
    // only where it first arrives.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && widget && widget->window() == this) {
        bool travelling = event == lastKeyEvent_ && lastKeyReceiver_ && widget != lastKeyReceiver_ &&
                          widget->isAncestorOf(lastKeyReceiver_);
        lastKeyEvent_ = event;
        lastKeyReceiver_ = widget;
        if (!travelling) {
            auto* key = static_cast<QKeyEvent*>(event);
            FormKeyDown(key->key(), key->modifiers());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainZorvaForm::keyPressEvent(QKeyEvent* event)
{
    QMainWindow::keyPressEvent(event);
}

namespace {

std::string Bytes(const QString& text)
{
    return ToCp1251(text);
}

}  // namespace

void TMainZorvaForm::FormCreate()
{
    // Steps 1-2: the menu font, the window's and the status bar's font at 12 points.
    QFont font = this->font();
    font.setPointSize(12);
    setFont(font);
    menuBar()->setFont(font);
    for (QMenu* menu : {mFile, mSetup, mLic, mDo})
        menu->setFont(font);
    statusBar()->setFont(font);
    for (QLabel* panel : StatusPanels)
        panel->setFont(font);
    // Widgets under a style sheet of their own do not follow the window's font.
    for (QWidget* child : sPanel2->findChildren<QWidget*>())
        child->setFont(child->font().bold() ? [&] { QFont b = font; b.setBold(true); return b; }() : font);
    sPanel2->setFont(font);

    OpenAppIni("StendZorva.ini");
    RestoreWindowPlacement(this);
    SetupSkin();
    OpenStandPort(AppIni->ReadInteger("SETUP", "ComPort", 0));
    mAutoPrint->setChecked(AppIni->ReadBool("SETUP", "AutoPrint", false));
    mRightSide->setChecked(AppIni->ReadBool("SETUP", "RightSide", true));
    if (!mRightSide->isChecked())
        mLeftSide->setChecked(true);
    LastPrinted = FromCp1251(AppIni->ReadString("SETUP", "LastPrinted", "17-00001"));
    mLogForm->setChecked(AppIni->ReadBool("SETUP", "LogForm", false));

    logForm_ = new TLogForm(this);
    logForm_->SetPrintLabel([this](const QString& text) { PrintLabel(text); });
    AppIni->LoadFormPlacement(logForm_);

    EditNum->setText(FromCp1251(AppIni->ReadString("SETUP", "Num", "17")));
    EditYear->setText(FromCp1251(AppIni->ReadString("SETUP", "Year", "0")));
    ApplyJournalVisibility();
    SetShapeSNColor(Colors::Gray);

    journal_ = std::make_unique<JournalWriter>(AppDataDir + kJournalFileName);
    ShowJournalWarning();
    qApp->installEventFilter(this);
}

void TMainZorvaForm::FormClose()
{
    closed_ = true;
    timer1_->stop();
    AppIni->SaveFormPlacement(logForm_);
    AppIni->WriteInteger("SETUP", "ComPort", com_.Port);
    AppIni->WriteBool("SETUP", "AutoPrint", mAutoPrint->isChecked());
    AppIni->WriteBool("SETUP", "RightSide", mRightSide->isChecked());
    AppIni->WriteString("SETUP", "LastPrinted", Bytes(LastPrinted));
    AppIni->WriteBool("SETUP", "LogForm", mLogForm->isChecked());
    AppIni->WriteString("SETUP", "Num", Bytes(EditNum->text()));
    AppIni->WriteString("SETUP", "Year", Bytes(EditYear->text()));
    com_.Close();
    // Entries still waiting for the journal file must not die with the window.
    if (journal_)
        journal_->Flush();
    delete logForm_;
    logForm_ = nullptr;
    AppIni->WriteString("Skin", "SkinName", Bytes(skin_->SkinName));
    AppIni->WriteString("Skin", "SkinDir", Bytes(skin_->SkinDirectory));
    SaveWindowPlacement(this);
    CloseAppIni();
}

void TMainZorvaForm::SetupSkin()
{
    skin_ = std::make_unique<SkinManager>();
    skin_->SkinDirectory = ChooseSkinDirectory(
        QString::fromStdString(ProgramDir()), skin_->SkinDirectory,
        [](const QString& fallback) { return FromCp1251(AppIni->ReadString("Skin", "SkinDir", Bytes(fallback))); });
    skin_->SkinName = FromCp1251(AppIni->ReadString("Skin", "SkinName", Bytes(skin_->SkinName)));
    skin_->Apply(*qApp);
}

void TMainZorvaForm::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (!IsServiceUnlockKey(key, modifiers))
        return;
    if (AskServiceAccess(this)) {
        mLic->menuAction()->setVisible(true);
        setWindowTitle(QString::fromUtf8(kUnlockedCaption));
    }
}

void TMainZorvaForm::mCOMClick()
{
    QString text = QString::number(static_cast<qint64>(com_.Port) + 1);
    const QString caption = QStringLiteral("COM порт");
    const QString prompt = QStringLiteral("Задайте номер порта 1...");
    bool ok = askText_ ? askText_(caption, prompt, text) : InputText(this, caption, prompt, text, QChar());
    if (!ok)
        return;
    int n = LeadingInt(Bytes(text)) - 1;
    OpenStandPort(n < 0 ? 0 : n);
}

void TMainZorvaForm::mPrintNumClick()
{
    QString text = LastPrinted;
    if (!AskText(QStringLiteral("Задайте"), QStringLiteral("Номер платы для этикетки..."), text))
        return;
    LastPrinted = text;
    PrintLabel(LastPrinted);
}

void TMainZorvaForm::mLogFormClick()
{
    // The action has already turned its check mark over.
    ApplyJournalVisibility();
}

void TMainZorvaForm::ApplyJournalVisibility()
{
    if (!logForm_)
        return;
    logForm_->setVisible(mLogForm->isChecked());
    if (logForm_->isVisible()) {
        logForm_->raise();
        logForm_->activateWindow();
    }
}

void TMainZorvaForm::WriteJournalEntry(const QString& action, const QString& result)
{
    JournalEntry entry = MakeJournalEntry(QDateTime::currentDateTime(), SystemDateTimeSeparators(),
                                          FormatSerialNumber(standStatus_.Year, standStatus_.Number), action,
                                          standStatus_.CurrentMicroamps, result, standInfo_.StandNumber);
    ::WriteJournalEntry(logForm_->Grid(), *journal_, entry);
    ShowJournalWarning();
}

void TMainZorvaForm::ShowJournalWarning()
{
    // The warning shares panel 1 with the poll state only while entries wait.
    QString text = JournalPendingText(journal_ ? journal_->PendingCount() : 0);
    statusBar()->setToolTip(text);
    journalWarning_->setText(text);
    journalWarning_->setVisible(!text.isEmpty());
}

void TMainZorvaForm::ShowMessage(const ServiceMessage& message)
{
    if (message.IsEmpty())
        return;
    if (showMessage_) {
        showMessage_(message);
        return;
    }
    QMessageBox box(message.icon == ServiceMessage::Icon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon,
                    message.caption, message.text, QMessageBox::Ok, this);
    box.exec();
}

bool TMainZorvaForm::AskText(const QString& caption, const QString& prompt, QString& text)
{
    if (askText_)
        return askText_(caption, prompt, text);
    bool ok = false;
    QString typed = QInputDialog::getText(this, caption, prompt, QLineEdit::Normal, text, &ok);
    if (ok)
        text = typed;
    return ok;
}

int TMainZorvaForm::LoadFirmwareFile()
{
    QString path;
    if (askFile_) {
        path = askFile_();
    } else {
        QFileDialog dialog(this);
        dialog.setNameFilter(QStringLiteral("Microchip HEX file (*.hex)"));
        dialog.setDefaultSuffix(QStringLiteral("hex"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().first();
    }
    if (path.isEmpty())
        return 0;
    int length = 0;
    LoadVerdict verdict = ::LoadFirmwareFile(*firmware_, path.toStdString(), length);
    if (verdict != LoadVerdict::Ok) {
        ShowMessage(ServiceMessage::Error(LoadVerdictText(verdict)));
        return 0;
    }
    return length;
}

TransferProgress TMainZorvaForm::ProgressDisplay()
{
    TransferProgress progress;
    progress.started = [this](int length) {
        PanelProgress->show();
        ProgressBar1->setRange(0, length);
        ProgressBar1->setValue(0);
        // One pass so the panel is drawn; the operator's input stays out of the block loop.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    progress.blockDone = [this](int offset) {
        ProgressBar1->setValue(offset);
        ProgressBar1->repaint();
    };
    return progress;
}

template <typename Command>
void TMainZorvaForm::RunFirmwareCommand(Command command)
{
    // A running command owns the panel; a second one started from the menu does nothing.
    if (!PanelProgress->isHidden())
        return;
    SetPanelText(2, QString());
    int length = LoadFirmwareFile();
    if (length == 0)
        return;
    auto result = command(link_, *firmware_, length, ProgressDisplay());
    PanelProgress->hide();
    if (IsSuccess(result))
        SetPanelText(2, ResultText(result));
    else
        ShowMessage(ServiceMessage::Error(ResultText(result)));
}

void TMainZorvaForm::mProchaClick()
{
    RunFirmwareCommand(UploadFirmware);
}

void TMainZorvaForm::mCompareFileClick()
{
    RunFirmwareCommand(CompareFirmware);
}

void TMainZorvaForm::mSerNumClick()
{
    ShowMessage(SerNumCommand(link_, this, serNumShow_));
}

void TMainZorvaForm::mStendNumClick()
{
    QString text = StandNumberInitialText(standInfo_.StandNumber);
    if (!AskText(QStringLiteral("Номер стенда"), QStringLiteral("Задайте номер стенда 1..254"), text))
        return;
    auto number = StandNumberFromText(text);
    if (!number)
        return;
    StandNumberResult result = WriteStandNumber(link_, *number);
    SetPanelText(2, StandNumberStatusText(result));
    if (ClearsStandInfoKnown(result))
        standInfoKnown_ = false;
}

void TMainZorvaForm::mPlataversionClick()
{
    uint8_t version = 0;
    if (!ReadBoardVersion(link_, version)) {
        ShowMessage(BoardVersionReadFailedMessage());
        return;
    }
    QString text = BoardVersionInitialText(version);
    if (!AskText(QStringLiteral("Задайте"), QStringLiteral("Версия платы счётчика газа..."), text))
        return;
    auto typed = BoardVersionFromText(text);
    if (!typed)
        return;
    ShowMessage(WriteBoardVersion(link_, *typed));
}

void TMainZorvaForm::mIDClick()
{
    ShowMessage(BoardInfo(link_));
}

void TMainZorvaForm::mReadEPROMClick()
{
    ListBox1->show();
    ListBox1->clear();
    ListBox1->addItems(DumpEprom(link_));
}

void TMainZorvaForm::mReadFLASHClick()
{
    QString text = flashView_.AddressText();
    if (!AskText(QStringLiteral("FLASH"), QStringLiteral("Задайте адрес"), text))
        return;
    flashView_.SetAddressText(text);
    mNextFLASHClick();
}

void TMainZorvaForm::mNextFLASHClick()
{
    QStringList lines;
    if (!flashView_.Next(link_, lines))
        return;
    ListBox1->addItems(lines);
    ListBox1->show();
    ListBox1->scrollToBottom();
}

void TMainZorvaForm::ButtonWriteSNClick()
{
    SerialWriter::Start start = serialWriter_->ButtonWriteSN(link_, EditYear->text(), EditNum->text());
    if (start.yearText)
        EditYear->setText(*start.yearText);
    if (start.numberText)
        EditNum->setText(*start.numberText);
    SetShapeSNColor(start.lamp);
}

void TMainZorvaForm::CheckSerialWriteStep()
{
    if (!serialWriter_->Awaited())
        return;
    if (auto colour = serialWriter_->CheckSerialWrite(link_))
        SetShapeSNColor(*colour);
}
