// Progress of long steps in the two front ends: the main window's bar and repaints during a
// large export, and the console's progress line, drawn only on a terminal.

#include <gtest/gtest.h> // before the Qt fixture, which uses it

#include "app/MainWindow.h"
#include "app/QtFixture.h"
#include "common/TempFolder.h"
#include "exchange/DemoSandbox.h"
#include "exchange/ServerSimulator.h"
#include "view/Progress.h"

#include <QEvent>
#include <QProgressBar>
#include <QPushButton>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvendal::testing {
namespace {

// The bar's values at its paints, that is at the window's repaints, while it counts total.
class TPaintLog : public QObject {
public:
    explicit TPaintLog(int total) : total_(total) {}
    std::vector<int> Values;
    bool eventFilter(QObject* object, QEvent* event) override {
        const auto* bar = static_cast<QProgressBar*>(object);
        if (event->type() == QEvent::Paint && bar->maximum() == total_) {
            Values.push_back(bar->value());
        }
        return false;
    }

private:
    int total_;
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
    TPaintLog log(rows);
    bar->installEventFilter(&log);
    window.findChild<QPushButton*>("BitBtn1")->click();

    // Painted (so shown) from the first throttle step on, never more than one step apart, up to
    // the end of the rows.
    const std::vector<int>& paints = log.Values;
    ASSERT_GE(paints.size(), static_cast<size_t>(rows / TStepProgress::Steps));
    EXPECT_LE(paints.front(), TStepProgress::Steps);
    for (size_t i = 1; i < paints.size(); ++i) {
        EXPECT_LE(paints[i] - paints[i - 1], TStepProgress::Steps) << i;
    }
    EXPECT_GT(paints.back(), rows - TStepProgress::Steps);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(window.findChild<QLabel*>("Label1")->text().toStdString(),
              "Der Datenaustausch für das Gerät " + s.DisplayName + " ist erfolgt!");
}

// Runs the demo with its error stream on a pseudo-terminal or a pipe; what that stream got.
std::string DemoErrorStream(const std::string& dir, bool terminal) {
    int ends[2] = {-1, -1}; // reading end, writing end
    if ((terminal ? openpty(&ends[0], &ends[1], nullptr, nullptr, nullptr) : pipe(ends)) != 0) {
        ADD_FAILURE() << "no terminal or pipe";
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(ends[1], 2);
        const std::string cli = std::string(ORVENDAL_BINARY_DIR) + "/app/orvendal-cli";
        execl(cli.c_str(), "orvendal-cli", "demo", dir.c_str(), nullptr);
        _exit(127);
    }
    close(ends[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) { // EOF, or EIO on a pty
        text.append(buffer, static_cast<size_t>(n));
    }
    close(ends[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
    return text;
}

TEST(ProgressTest, TheConsoleDrawsItsProgressLineOnlyOnATerminal) {
    TTempFolder folder;
    const std::string onTerminal = DemoErrorStream(folder.File("tty"), true);
    EXPECT_NE(onTerminal.find("\r\033[K[------------------------------] 0 von 6"),
              std::string::npos)
        << onTerminal;
    EXPECT_NE(onTerminal.find("\r\033[KVersand der Geräte-Daten... - Bitte warten!\r\n"),
              std::string::npos)
        << onTerminal;
    const std::string onPipe = DemoErrorStream(folder.File("pipe"), false);
    EXPECT_EQ(onPipe.find('\033'), std::string::npos) << onPipe;
    EXPECT_NE(onPipe.find("\nVersand der Geräte-Daten... - Bitte warten!\n"), std::string::npos)
        << onPipe;
}

} // namespace
} // namespace orvendal::testing
