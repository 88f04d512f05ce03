#pragma once
// The access-code window that guards the service menu, and the key that asks for it.
#include <QDialog>

class QLineEdit;

class TFormPass : public QDialog {
    Q_OBJECT
public:
    explicit TFormPass(QWidget* owner = nullptr);

    QLineEdit* Edit1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Edit1Change();
};

// The access-code window while AskServiceAccess shows it; null otherwise.
extern TFormPass* FormPass;

// The main window's unlock test on a key press: Ctrl and Shift both held and
// the L key (Alt is not examined).
bool IsServiceUnlockKey(int key, Qt::KeyboardModifiers modifiers);

// Creates the access-code window owned by owner, shows it modally and destroys
// it; true when the right code was entered.
bool AskServiceAccess(QWidget* owner);
