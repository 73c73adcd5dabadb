#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the next modal dialog of type T from inside the nested event loop that shows it:
// polls until the dialog is the active modal widget (or the deadline passes), then hands it to
// the given action, which must close it. The action should only record what it sees; asserting
// there could leave the dialog open and the test blocked.
template<typename T> class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(T *)> action, int timeoutMs = 5000)
    {
        clock.start();
        QObject::connect(&poll, &QTimer::timeout, [this, action, timeoutMs]() {
            if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
                poll.stop();
                seen = true;
                action(dialog);
            } else if (clock.hasExpired(timeoutMs)) {
                poll.stop();
            }
        });
        poll.start(5);
    }
    ModalAnswer(const ModalAnswer &) = delete;
    ModalAnswer &operator=(const ModalAnswer &) = delete;

    // Whether a dialog of type T appeared and was handed to the action.
    bool answered() const { return seen; }

private:
    QTimer poll;
    QElapsedTimer clock;
    bool seen = false;
};
