#pragma once
// The real windows in the tests: one QApplication (offscreen) with Qt's German texts, and
// answers to modal dialogs.

#include "app/Widgets.h"

#include <QApplication>
#include <QTimer>

#include <functional>

namespace orvendal::testing {

inline QApplication& Application() {
    static int argc = 1;
    static char name[] = "test_app", *argv[] = {name, nullptr};
    static QApplication* application = [] {
        auto* app = new QApplication(argc, argv);
        EXPECT_EQ(InstallGermanQtTexts(), "");
        return app;
    }();
    return *application;
}

// With ORVENDAL_SCREENSHOTS=DIR the window is saved there for the documentation.
inline void Screenshot(QWidget& window, const char* name) {
    if (const char* dir = std::getenv("ORVENDAL_SCREENSHOTS")) {
        EXPECT_TRUE(window.grab().save(QString::fromUtf8(dir) + "/" + name));
    }
}

// Calls answer with the first modal dialog of type T that opens within two seconds.
template <typename T> class TDialogAnswer {
public:
    explicit TDialogAnswer(std::function<void(T&)> answer) {
        timer_.start(10);
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (dialog != nullptr || ++ticks_ > 200) {
                timer_.stop();
                answered_ = dialog != nullptr;
                if (answered_) {
                    answer(*dialog);
                }
            }
        });
    }
    bool Answered() const { return answered_; }

private:
    QTimer timer_;
    int ticks_ = 0;
    bool answered_ = false;
};

} // namespace orvendal::testing
