#pragma once
// The operator's window. It owns everything that lasts for the run: the
// serial channel, the latest stand records, the poll timer, the journal
// window and, between FormCreate and FormClose, the settings object.
#include "link/COM.h"
#include "link/StandProtocol.h"
#include "labels/PrintLabel.h"
#include "platform/Clock.h"
#include "service/FirmwareTransfer.h"
#include "service/MemoryView.h"
#include "service/ServiceMessage.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;
class QWidget;
class TLogForm;
class JournalWriter;
class SkinManager;
class SerialWriter;
class TFSerNum;
struct FirmwareImage;

// A small filled square: the lamps of the test panel and ShapeSN.
class TShape : public QWidget {
public:
    explicit TShape(QWidget* parent = nullptr);
    void SetBrushColor(const QColor& colour);
    QColor BrushColor() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

class TMainZorvaForm : public QMainWindow {
    Q_OBJECT
public:
    static const char* const kDesignCaption;  // "Стенд ЗОРВА-ТК GSM  (Lite)"
    static const char* const kUnlockedCaption;

    explicit TMainZorvaForm(const std::string& dataDirOption = {}, QWidget* parent = nullptr);
    ~TMainZorvaForm() override;

    // Steps of the start and close sequences.
    void FormCreate();
    void OpenStandPort(int n);
    void SetShapeSNColor(const QColor& colour);

    // The once-a-second poll; tests call it directly instead of waiting.
    void Timer1Timer();

    // Protocol operations of the window, over the one channel.
    bool QueryStatus();
    bool QueryStandInfo();

    void WriteJournalEntry(const QString& action, const QString& result);
    void PrintLabel(const QString& serialText);

    // Menu and button handlers.
    void mCOMClick();
    void mAutoPrintClick();
    void mPrintNumClick();
    void mLogFormClick();
    void ApplyJournalVisibility();
    void ButtonPrintClick();
    void ButtonWriteSNClick();
    void mProchaClick();
    void mCompareFileClick();
    void mSerNumClick();
    void mStendNumClick();
    void mPlataversionClick();
    void mIDClick();
    void mReadEPROMClick();
    void mReadFLASHClick();
    void mNextFLASHClick();

    // For tests and the drivers of the program.
    void SetTickSource(TickSource source);
    void SetLabelLauncher(LabelLauncher launcher) { labelLauncher_ = std::move(launcher); }
    COM& Channel() { return com_; }
    StandLink& Link() { return link_; }
    const StandStatus& LatestStatus() const { return standStatus_; }
    const StandInfo& Info() const { return standInfo_; }
    bool StandInfoKnown() const { return standInfoKnown_; }
    TLogForm* LogForm() const { return logForm_; }
    QString PanelText(int index) const;
    QTimer* Timer1() const { return timer1_; }
    JournalWriter* Journal() const { return journal_.get(); }
    SerialWriter& SerialWrite() { return *serialWriter_; }
    int32_t FlashViewAddress() const { return flashView_.FlashViewAddress; }
    QLabel* JournalWarning() const { return journalWarning_; }

    // What the operator would answer in the window's modal boxes; tests and
    // drivers set these, the program leaves them empty and shows real boxes.
    std::function<bool(const QString& caption, const QString& prompt, QString& text)> askText_;
    std::function<QString()> askFile_;
    std::function<void(const ServiceMessage&)> showMessage_;
    std::function<int(TFSerNum&)> serNumShow_;

    // Components, named as in the window's design.
    QWidget* Panel1 = nullptr;
    QFrame* sPanel2 = nullptr;
    QFrame* sPanel1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QLabel* LabelState = nullptr;
    QLabel* LabelI = nullptr;
    QLabel* LabelUnit = nullptr;
    QLabel* LabelSerNum = nullptr;
    QPushButton* ButtonPrint = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* LabelLastSerNum = nullptr;
    QLabel* LabelLastTok = nullptr;
    TShape* ShapeSN = nullptr;
    QLineEdit* EditYear = nullptr;
    QLineEdit* EditNum = nullptr;
    QPushButton* ButtonWriteSN = nullptr;
    QFrame* PanelTest = nullptr;
    std::array<TShape*, 14> Shapes{};  // Shape1..Shape14
    QLabel* LabelStage = nullptr;
    QFrame* PanelProgress = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    std::array<QLabel*, 3> StatusPanels{};

    QMenu* mFile = nullptr;
    QMenu* mSetup = nullptr;
    QMenu* mLic = nullptr;
    QMenu* mDo = nullptr;
    QAction* mID = nullptr;
    QAction* mClose = nullptr;
    QAction* mCOM = nullptr;
    QAction* mAutoPrint = nullptr;
    QAction* mPrintNum = nullptr;
    QAction* mRightSide = nullptr;
    QAction* mLeftSide = nullptr;
    QAction* mLogForm = nullptr;
    QAction* mProcha = nullptr;
    QAction* mCompareFile = nullptr;
    QAction* mSerNum = nullptr;
    QAction* mStendNum = nullptr;
    QAction* mPlataversion = nullptr;
    QAction* mReadEPROM = nullptr;
    QAction* mReadFLASH = nullptr;
    QAction* mNextFLASH = nullptr;
    QAction* pmWrite = nullptr;

    QString LastPrinted;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    void BuildMenus();
    void BuildStatusPanel();
    void BuildSerialPanel();
    void BuildTestPanel();
    void FormClose();
    void FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void SetupSkin();
    void ResetLamps();
    void ShowPollFailure(const QString& panelText);
    void HandleResultEvents();
    void SetPanelText(int index, const QString& text);
    void ShowJournalWarning();
    int LoadFirmwareFile();
    void ShowMessage(const ServiceMessage& message);
    bool AskText(const QString& caption, const QString& prompt, QString& text);
    TransferProgress ProgressDisplay();
    template <typename Command>
    void RunFirmwareCommand(Command command);
    void CheckSerialWriteStep();

    COM com_;
    StandLink link_{com_};
    StandStatus standStatus_{};
    StandInfo standInfo_{};
    bool standInfoKnown_ = false;
    bool closed_ = false;
    TickSource tick_ = MonotonicTickCount;
    LabelLauncher labelLauncher_ = StartDetachedLabelProgram;
    QTimer* timer1_ = nullptr;
    TLogForm* logForm_ = nullptr;
    std::unique_ptr<JournalWriter> journal_;
    std::unique_ptr<SkinManager> skin_;
    std::unique_ptr<SerialWriter> serialWriter_;
    std::unique_ptr<FirmwareImage> firmware_;
    FlashView flashView_;
    QLabel* journalWarning_ = nullptr;
    const QEvent* lastKeyEvent_ = nullptr;
    QPointer<QWidget> lastKeyReceiver_;
};
