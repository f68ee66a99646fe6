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
    static auto* application = new QApplication(argc, argv);
    static const std::string warning = InstallGermanQtTexts();
    EXPECT_EQ(warning, "");
    return *application;
}

// With ORVENDAL_SCREENSHOTS=DIR the window is saved there for the documentation.
inline void Screenshot(QWidget& window, const char* name) {
    if (const char* dir = std::getenv("ORVENDAL_SCREENSHOTS")) {
        EXPECT_TRUE(window.grab().save(QString::fromUtf8(dir) + "/" + name));
    }
}

// Calls answer with the first modal dialog of type T that opens while the object lives.
template <typename T> struct TDialogAnswer {
    explicit TDialogAnswer(std::function<void(T&)> answer) {
        timer.start(10);
        QObject::connect(&timer, &QTimer::timeout, [this, answer] {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
                timer.stop();
                Answered = true;
                answer(*dialog);
            }
        });
    }
    QTimer timer;
    bool Answered = false;
};

} // namespace orvendal::testing
