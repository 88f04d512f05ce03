#pragma once
// Drives a modal window from inside its own event loop: the steps run as soon
// as exec() has shown it. A window the steps leave open is closed, so a faulty
// window fails its test instead of hanging it.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

class ModalDriver {
public:
    explicit ModalDriver(std::function<void()> steps)
    {
        QTimer::singleShot(0, qApp, [this, steps = std::move(steps)] {
            ran_ = true;
            steps();
            if (QWidget* w = QApplication::activeModalWidget()) {
                leftOpen_ = true;
                w->close();
            }
        });
    }
    bool ran() const { return ran_; }
    bool leftOpen() const { return leftOpen_; }

private:
    bool ran_ = false;
    bool leftOpen_ = false;
};
