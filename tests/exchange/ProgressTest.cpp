// Progress of long steps in the two front ends: the main window's bar and repaints during a
// large export, and the console's progress line, drawn only on a terminal.

#include <gtest/gtest.h> // before the Qt fixture, which uses it

#include "app/MainWindow.h"
#include "app/QtFixture.h"
#include "common/Process.h"
#include "common/TempFolder.h"
#include "exchange/DemoSandbox.h"
#include "exchange/ServerSimulator.h"

#include <gmock/gmock.h>

#include <QEvent>
#include <QProgressBar>
#include <QPushButton>

namespace orvendal::testing {
namespace {

using namespace ::testing; // matchers

// The bar's values at its paints, that is at the window's repaints, while it counts Total.
struct TPaintLog : QObject {
    int Total = 0;
    std::vector<int> Values;
    bool eventFilter(QObject* object, QEvent* event) override {
        const auto* bar = static_cast<QProgressBar*>(object);
        if (event->type() == QEvent::Paint && bar->maximum() == Total)
            Values.push_back(bar->value());
        return false;
    }
};

TEST(ProgressTest, ALargeExportRepaintsTheWindowWithTheBarOnlyWhileItRuns) {
    Application();
    TTempFolder folder;
    const demo::TSandbox s = demo::MakeSandbox(folder.File("demo"));
    setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
    setenv("ORVENDAL_DEVICE_ROOT", s.HandheldRoot.c_str(), 1);
    const int rows = 6 + 3000;
    simulator::MakeDeviceExport(s.HandheldRoot + "Storage Card/ExportData.xm_", s.Identity,
                                rows - 6);
    TMainWindow window(s.ProgramDir + "orvendal");
    window.show();
    auto* bar = window.findChild<QProgressBar*>("ProgressBar1");
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    TPaintLog log;
    log.Total = rows;
    bar->installEventFilter(&log);
    window.findChild<QPushButton*>("BitBtn1")->click();

    // Painted (so shown) from the first 256 rows on, never more than 256 rows apart, up to
    // the end of the rows.
    ASSERT_GE(log.Values.size(), static_cast<size_t>(rows / 256));
    EXPECT_LE(log.Values.front(), 256);
    for (size_t i = 1; i < log.Values.size(); ++i)
        EXPECT_LE(log.Values[i] - log.Values[i - 1], 256) << i;
    EXPECT_GT(log.Values.back(), rows - 256);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(window.findChild<QLabel*>("Label1")->text().toStdString(),
              "Der Datenaustausch für das Gerät " + s.DisplayName + " ist erfolgt!");
}

// The demo with its error stream on a pseudo-terminal (through script) and in a file.
TEST(ProgressTest, TheConsoleDrawsItsProgressLineOnlyOnATerminal) {
    TTempFolder folder;
    const std::string demo = std::string(ORVENDAL_BINARY_DIR) + "/app/orvendal-cli demo ";
    const TRun terminal =
        TProcess("script -qec '" + demo + folder.File("tty") + "' /dev/null").Wait();
    const TRun file = TProcess(demo + folder.File("file")).Wait();
    ASSERT_EQ(terminal.Code, 0) << terminal.Out;
    ASSERT_EQ(file.Code, 0) << file.Err;
    const std::string status = "Versand der Geräte-Daten... - Bitte warten!";
    EXPECT_THAT(terminal.Out, AllOf(HasSubstr("\r\033[K[------------------------------] 0 von 6"),
                                    HasSubstr("\r\033[K" + status + "\r\n")));
    EXPECT_THAT(file.Err, AllOf(Not(HasSubstr("\033")), HasSubstr("\n" + status + "\n")));
}

} // namespace
} // namespace orvendal::testing
