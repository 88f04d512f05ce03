#pragma once
// TFSerNum: the serial number window, and the command that shows it.
#include "service/SerialRange.h"
#include "service/ServiceMessage.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class StandLink;

class TFSerNum : public QDialog {
    Q_OBJECT
public:
    explicit TFSerNum(QWidget* owner);

    void SetTexts(const SerialRangeTexts& texts);
    SerialRangeTexts Texts() const;

    QWidget* Panel2;
    QLabel* Label1;
    QLineEdit* EditCurYear;
    QLabel* Label2;
    QLineEdit* EditCurNum;
    QLabel* Label3;
    QLineEdit* EditLastYear;
    QLabel* Label4;
    QLineEdit* EditLastNum;
    QLabel* Label9;
    QLabel* LabelQ;
    QPushButton* ButtonZeroQ;
    QWidget* Panel1;
    QPushButton* Button1;
    QPushButton* Button2;

public slots:
    void ButtonZeroQClick();

protected:
    void showEvent(QShowEvent* event) override;
};

// mSerNumClick: reads the range, shows the window modally over owner, and on
// "OK" writes what changed (their results are not looked at). Returns the error
// box to show ("Не удалось прочитать из тестирующего устройства...") or nothing.
// show runs the window modally and gives its result (exec() when empty).
ServiceMessage SerNumCommand(StandLink& link, QWidget* owner, const std::function<int(TFSerNum&)>& show = {});
