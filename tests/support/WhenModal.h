#pragma once
// Answers a modal window from the event loop: the test arms it before the action that opens the
// window, and the answer runs as soon as that window is up (or the test fails after a while).

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>

// Polls from the event loop until `find` returns a visible window, then hands it to `answer`; after
// `timeoutMs` without one, `giveUp` runs instead. The returned watch is gone once either has run.
template <class Window>
QPointer<QTimer> WhenShown(std::function<Window*()> find, std::function<void(Window*)> answer,
                           std::function<void()> giveUp, int timeoutMs) {
    auto* poll = new QTimer;
    // Held by the connection, so it goes with the watch however the watch goes.
    QElapsedTimer clock;
    clock.start();
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, clock, find, answer, giveUp, timeoutMs] {
        Window* window = find();
        const bool found = window != nullptr && window->isVisible();
        if (!found && clock.elapsed() < timeoutMs) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (found) {
            answer(window);
        } else {
            giveUp();
        }
    });
    poll->start();
    return poll;
}

template <class Window>
void WhenModal(std::function<void(Window*)> answer, int timeoutMs = 5000) {
    WhenShown<Window>([] { return qobject_cast<Window*>(QApplication::activeModalWidget()); }, answer,
                      [] {
                          ADD_FAILURE() << "no modal " << Window::staticMetaObject.className() << " appeared";
                          if (QWidget* other = QApplication::activeModalWidget()) {
                              other->close();  // never leave the test hanging in someone else's loop
                          }
                      },
                      timeoutMs);
}

// Records the text of the next message box and presses `button` in it.
inline void AnswerMessageBox(QString* text, QMessageBox::StandardButton button = QMessageBox::Ok) {
    WhenModal<QMessageBox>([text, button](QMessageBox* box) {
        if (text != nullptr) {
            *text = box->text();
        }
        box->button(button)->click();
    });
}

// Fails the test when a modal window comes up within `windowMs`, closing it again. The watch is
// gone once that time is over.
inline QPointer<QTimer> ExpectNoModal(int windowMs = 150) {
    return WhenShown<QWidget>([] { return QApplication::activeModalWidget(); },
                              [](QWidget* modal) {
                                  ADD_FAILURE() << "unexpected modal " << modal->metaObject()->className();
                                  modal->close();
                              },
                              [] {}, windowMs);
}

// Answers the next popup menu from the event loop, as WhenModal answers a modal window.
inline void WhenMenu(std::function<void(QMenu*)> answer, int timeoutMs = 5000) {
    WhenShown<QMenu>([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }, answer,
                     [] { ADD_FAILURE() << "no popup menu appeared"; }, timeoutMs);
}
