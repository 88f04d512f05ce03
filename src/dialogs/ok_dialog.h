#pragma once
// The general confirmation window: a question with "Да" and "Нет".
// It keeps its placement in the settings under "FOkDialog".
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TFOkDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFOkDialog(QWidget* owner = nullptr);

    QLabel* sPanel1;
    QFrame* sPanel2;
    QPushButton* sBitBtnOk;
    QPushButton* sBitBtnCancel;

    void SetQuestion(const QString& text);

    // Every way of closing ends here, storing the placement: OK for "Да",
    // Cancel for "Нет", Esc and the close box.
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormResize();
};
