#pragma once
// What the acceptance stories share: answering the program's real modal
// windows from inside their own loops, choosing menu items with the mouse,
// typing into fields, and reading the stand's files.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace acceptance {

// Answers the modal windows the program opens, in the order they are expected.
// A step runs once a modal window is up and shown; a window of another type,
// or one nobody expected for a few seconds, fails the test and is closed so
// the story cannot hang on it.
class Modals {
public:
    Modals()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }

    template <class Window>
    void Then(const std::string& what, std::function<void(Window&)> act)
    {
        steps_.push_back({what, [act](QWidget* w) {
                              auto* window = qobject_cast<Window*>(w);
                              if (!window)
                                  return false;
                              act(*window);
                              return true;
                          }});
    }

    bool AllAnswered() const { return steps_.empty(); }
    int Answered() const { return answered_; }

private:
    struct Step {
        std::string what;
        std::function<bool(QWidget*)> act;
    };

    void Poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) {
            unexpectedSince_.reset();
            return;
        }
        if (steps_.empty()) {
            auto now = std::chrono::steady_clock::now();
            if (!unexpectedSince_)
                unexpectedSince_ = now;
            else if (now - *unexpectedSince_ > std::chrono::seconds(5)) {
                ADD_FAILURE() << "a modal window nobody expected: " << Describe(w);
                w->close();
                unexpectedSince_.reset();
            }
            return;
        }
        unexpectedSince_.reset();
        // Taken off first: the step may open the next window from inside itself.
        Step step = steps_.front();
        steps_.pop_front();
        if (step.act(w)) {
            ++answered_;
        } else {
            ADD_FAILURE() << "expected " << step.what << ", found " << Describe(w);
            w->close();
        }
    }

    static std::string Describe(QWidget* w)
    {
        std::string text = std::string(w->metaObject()->className()) + " \"" + w->windowTitle().toStdString() + "\"";
        if (auto* box = qobject_cast<QMessageBox*>(w))
            text += ": " + box->text().toStdString();
        return text;
    }

    QTimer timer_;
    std::deque<Step> steps_;
    int answered_ = 0;
    std::optional<std::chrono::steady_clock::time_point> unexpectedSince_;
};

// Opens a menu by clicking its title in the menu bar, then clicks the item's
// rectangle in the popup. Returns once the item's command has run.
inline ::testing::AssertionResult ChooseFromMenu(QMainWindow& window, QMenu* menu, QAction* item)
{
    QMenuBar* bar = window.menuBar();
    if (!menu->menuAction()->isVisible())
        return ::testing::AssertionFailure() << "menu \"" << menu->title().toStdString() << "\" is hidden";
    const QRect title = bar->actionGeometry(menu->menuAction());
    if (!title.isValid())
        return ::testing::AssertionFailure() << "menu \"" << menu->title().toStdString() << "\" has no title";
    QTest::mouseClick(bar, Qt::LeftButton, {}, title.center());
    if (!menu->isVisible())
        return ::testing::AssertionFailure() << "clicking \"" << menu->title().toStdString()
                                             << "\" opened nothing";
    const QRect rect = menu->actionGeometry(item);
    if (!rect.isValid() || !item->isVisible() || !item->isEnabled())
        return ::testing::AssertionFailure() << "no item \"" << item->text().toStdString() << "\"";
    QTest::mouseClick(menu, Qt::LeftButton, {}, rect.center());
    if (menu->isVisible())
        return ::testing::AssertionFailure() << "the menu stayed open after \"" << item->text().toStdString() << "\"";
    return ::testing::AssertionSuccess();
}

// The offscreen platform has no window manager to give the activation back
// when a modal window or the journal window goes: the window's shortcuts
// need it active again, as a desktop would leave it.
inline bool Reactivate(QWidget& window)
{
    if (QApplication::activeWindow() == &window)
        return true;
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// Replaces a field's text the way an operator does: everything selected, then typed.
inline void TypeInto(QLineEdit* edit, const QString& text)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}

// Types a path into a file dialog's name field and presses Enter. The path is
// pasted whole: typed a letter at a time, every folder on the way stays
// selected in the dialog's list beside the file and the dialog opens the
// first of them instead. The completer's list may be open under the field and
// hold the keyboard, as on a desktop: Esc closes it first.
inline void AnswerFileDialog(QFileDialog& dialog, const QString& path)
{
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    QApplication::clipboard()->setText(path);
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
    if (QWidget* list = QApplication::activePopupWidget())
        QTest::keyClick(list, Qt::Key_Escape);
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible()) << "the dialog refused " << path.toStdString();
}

// A memory dump line as an independent reader writes it: "XX: " or "XXXX: ",
// then sixteen "XX ".
inline QString DumpLine(int address, int digits, const std::string& bytes)
{
    char head[16];
    std::snprintf(head, sizeof head, "%0*X: ", digits, address);
    QString line = QString::fromLatin1(head);
    for (int i = 0; i < 16; ++i) {
        size_t at = static_cast<size_t>(address + i);
        unsigned value = at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0xFFu;
        char cell[4];
        std::snprintf(cell, sizeof cell, "%02X ", value);
        line += QString::fromLatin1(cell);
    }
    return line;
}

}  // namespace acceptance
