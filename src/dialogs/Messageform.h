#pragma once
// The general message window: a large text panel with one closing button.
// It keeps its placement in the settings under "MessageForm".
#include <QDialog>

class QLabel;
class QPushButton;

class TMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* owner = nullptr);

    QLabel* Panel1;
    QPushButton* sBitBtn;

    void SetMessage(const QString& text);

    // Every way of closing ends here: the placement is stored and the result is
    // Cancel, as the window closes itself whatever closes it.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool FormKeyDown(int key);
    void sBitBtnClick();
};
