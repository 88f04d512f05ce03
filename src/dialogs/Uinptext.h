#pragma once
// The program's own modal one-line text query (the COM port number).
#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class TFormInpText : public QDialog {
    Q_OBJECT
public:
    explicit TFormInpText(QWidget* owner = nullptr);

    QFrame* sPanel1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QFrame* sPanel2;
    QPushButton* sBitBtn;

    // Zero means plain text; any other character hides the typed text behind it.
    void SetPasswordChar(QChar passwordChar);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormResize();
    void FormKeyDown(QKeyEvent* event);
};

// The window shown by InputText while it runs; null otherwise (and before the
// start-up instance is made).
extern TFormInpText* FormInpText;

// Asks for one line of text in a fresh modal window owned by owner. On OK the
// edited text goes to value and the result is true; otherwise value is untouched.
bool InputText(QWidget* owner, const QString& caption, const QString& prompt, QString& value,
               QChar passwordChar);
