#pragma once
// The real windows in the tests: one QApplication (offscreen) and answers to modal dialogs.

#include <QApplication>
#include <QTimer>

#include <functional>

namespace orvendal::testing {

inline QApplication& Application() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

// Calls answer with the first modal dialog of type T that opens, then lets it close.
// Bounded: gives up after two seconds.
template <typename T> class TDialogAnswer {
public:
    explicit TDialogAnswer(std::function<void(T&)> answer) : answer_(std::move(answer)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
                timer_.stop();
                answered_ = true;
                answer_(*dialog);
            } else if (++ticks_ > 200) {
                timer_.stop();
            }
        });
        timer_.start();
    }
    bool Answered() const { return answered_; }

private:
    std::function<void(T&)> answer_;
    QTimer timer_;
    int ticks_ = 0;
    bool answered_ = false;
};

} // namespace orvendal::testing
