#include "ProgramRun.h"

#include "backup/Preset.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

using namespace stowline::e2e;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 15000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (condition())
            return true;
        QThread::msleep(100);
    }
    return condition();
}

QString output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The first line a helper prints on its standard output (a display number, a bus address).
QString firstLine(QProcess& process) {
    QByteArray printed;
    waitUntil([&] {
        process.waitForReadyRead(100);
        printed += process.readAllStandardOutput();
        return printed.contains('\n');
    });
    return QString::fromLocal8Bit(printed.left(printed.indexOf('\n'))).trimmed();
}

void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished();
    }
}

// A desktop of our own: an X server without a screen (Xvfb) and a private session bus on
// which, on request, python3-dbusmock plays the StatusNotifierWatcher that tray icons
// register with. Everything started here ends with the object.
class Desktop {
public:
    static bool available() {
        return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
               !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() &&
               !QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty() &&
               QProcess::execute(kPython,
                                 {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) == 0;
    }

    explicit Desktop(const QString& folder) : watcherLog_(folder + QStringLiteral("/watcher.log")) {
        xserver_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                                QStringLiteral("-screen"), QStringLiteral("0"),
                                                QStringLiteral("1024x768x24")});
        display_ = QLatin1Char(':') + firstLine(xserver_);
        bus_.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
        busAddress_ = firstLine(bus_);
    }
    ~Desktop() {
        stop(watcher_);
        stop(bus_);
        stop(xserver_);
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    bool started() const { return display_.size() > 1 && !busAddress_.isEmpty(); }

    bool startTrayWatcher() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
        watcher_.setProcessEnvironment(environment);
        watcher_.start(kPython,
                       {QStringLiteral("-m"), QStringLiteral("dbusmock"),
                        QStringLiteral("--template"),
                        QStringLiteral(STOWLINE_E2E_DIR "/desktop/status_notifier_watcher.py"),
                        QStringLiteral("-l"), watcherLog_});
        return waitUntil([&] {
            return output(QStringLiteral("dbus-send"),
                          {QStringLiteral("--bus=") + busAddress_, QStringLiteral("--print-reply"),
                           QStringLiteral("--dest=org.freedesktop.DBus"),
                           QStringLiteral("/org/freedesktop/DBus"),
                           QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                           QStringLiteral("string:org.kde.StatusNotifierWatcher")})
                .contains(QStringLiteral("boolean true"));
        });
    }

    enum class LeakCheck { AtExit, Off };

    // The program in `sandbox`, on this desktop.
    void startProgram(const ProgramSandbox& sandbox, QProcess& process,
                      const QStringList& arguments = {},
                      LeakCheck leakCheck = LeakCheck::AtExit) const {
        QProcessEnvironment environment = leakCheck == LeakCheck::AtExit
                                              ? sandbox.environment()
                                              : withoutLeakCheck(sandbox.environment());
        environment.insert(QStringLiteral("DISPLAY"), display_);
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(STOWLINE_BINARY), arguments);
        process.waitForStarted();
    }

    // Whether a window whose title holds `title` is mapped on the screen.
    bool showsWindow(const QString& title) const {
        static const QRegularExpression windowLine(
            QStringLiteral(R"(^\s*(0x[0-9a-f]+) "([^"]*)\")"));
        const QStringList tree =
            output(QStringLiteral("xwininfo"), {QStringLiteral("-display"), display_,
                                                QStringLiteral("-root"), QStringLiteral("-tree")})
                .split(QLatin1Char('\n'));
        for (const QString& line : tree) {
            const QRegularExpressionMatch match = windowLine.match(line);
            if (match.hasMatch() && match.captured(2).contains(title) &&
                output(QStringLiteral("xwininfo"), {QStringLiteral("-display"), display_,
                                                    QStringLiteral("-id"), match.captured(1)})
                    .contains(QStringLiteral("IsViewable")))
                return true;
        }
        return false;
    }

    static bool canType() {
        return !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
    }

    // Runs xdotool on this display; false when it failed. `printed` takes its output.
    bool xdotool(const QStringList& arguments, QString* printed = nullptr) const {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display_);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral("xdotool"), arguments);
        if (!process.waitForFinished(10000) || process.exitCode() != 0)
            return false;
        if (printed)
            *printed = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        return true;
    }

    // The first mapped window whose title holds `title`, as xdotool names it.
    QString windowId(const QString& title) const {
        QString found;
        xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--name"), title},
                &found);
        return found.section(QLatin1Char('\n'), 0, 0);
    }

    // Presses `key` in the focused window until a window whose title holds `title` shows,
    // a few times at most; its id. A key that arrives before the toolkit has taken in the
    // window's activation can find no shortcut and be lost, so a press that opened nothing
    // is repeated. A repeated press cannot open a second window: the one that opened is modal.
    QString pressUntilShown(const QString& key, const QString& title) const {
        QString shown;
        for (int attempt = 0; attempt < 5 && shown.isEmpty(); ++attempt) {
            if (!xdotool({QStringLiteral("key"), key}))
                return QString();
            waitUntil(
                [&] {
                    shown = windowId(title);
                    return !shown.isEmpty();
                },
                3000);
        }
        return shown;
    }

    bool trayItemRegistered() const {
        QFile log(watcherLog_);
        return log.open(QIODevice::ReadOnly) &&
               log.readAll().contains("RegisterStatusNotifierItem");
    }

private:
    QString watcherLog_;
    QProcess xserver_;
    QProcess bus_;
    QProcess watcher_;
    QString display_;
    QString busAddress_;
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Desktop::available())
            GTEST_SKIP() << "Xvfb, dbus-daemon, xwininfo or python3-dbusmock is not installed";
        QDir().mkpath(sandbox.dataFolder());
        desktop.emplace(sandbox.path(QStringLiteral("tmp")));
        ASSERT_TRUE(desktop->started());
    }
    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }

    // Ends the program the way a second instance does, with "/EXIT"; what the program
    // printed on its standard error (a sanitizer's report on a failed exit code).
    QByteArray exitProgram() {
        QProcess second;
        EXPECT_TRUE(sandbox.runToEnd(second, {QStringLiteral("/EXIT")}));
        EXPECT_TRUE(program.waitForFinished(15000));
        const QByteArray errors = program.readAllStandardError();
        EXPECT_EQ(program.exitCode(), 0) << errors.toStdString();
        EXPECT_TRUE(sandbox.logMessages().contains(QStringLiteral("SWL halts.")));
        return errors;
    }

    BackupSandbox sandbox;
    std::optional<Desktop> desktop;
    QProcess program;
};

TEST_F(DesktopTest, TheWindowShowsAndTheTrayIconRegisters) {
    ASSERT_TRUE(desktop->startTrayWatcher());
    desktop->startProgram(sandbox, program);
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("SWL is ready now.")))
        << program.readAllStandardError().toStdString();
    EXPECT_TRUE(waitUntil([&] { return desktop->showsWindow(QStringLiteral("Stowline")); }));
    EXPECT_TRUE(waitUntil([&] { return desktop->trayItemRegistered(); }));
    EXPECT_FALSE(exitProgram().contains("no notification area"));
}

TEST_F(DesktopTest, StartedHiddenTheWindowWaitsForShow) {
    ASSERT_TRUE(desktop->startTrayWatcher());
    desktop->startProgram(sandbox, program, {QStringLiteral("/hide")});
    EXPECT_TRUE(waitUntil([&] { return desktop->trayItemRegistered(); }));
    // Hidden for good, perhaps: the program reports itself ready all the same.
    EXPECT_TRUE(sandbox.waitForLogLine(QStringLiteral("SWL is ready now.")));
    EXPECT_FALSE(desktop->showsWindow(QStringLiteral("Stowline")));

    QProcess second;
    ASSERT_TRUE(sandbox.runToEnd(second, {QStringLiteral("/SHOW")}));
    EXPECT_TRUE(waitUntil([&] { return desktop->showsWindow(QStringLiteral("Stowline")); }));
    exitProgram();
    EXPECT_EQ(sandbox.logMessages().count(QStringLiteral("SWL is ready now.")), 1);
}

TEST_F(DesktopTest, WithoutANotificationAreaTheProgramSaysSoOnceAndGoesOn) {
    desktop->startProgram(sandbox, program);
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("SWL is ready now.")));
    EXPECT_TRUE(waitUntil([&] { return desktop->showsWindow(QStringLiteral("Stowline")); }));
    QProcess second;
    ASSERT_TRUE(sandbox.runToEnd(second, {QStringLiteral("/SHOWICON")}));
    EXPECT_EQ(exitProgram().count("no notification area"), 1);
}

// Key presses that go through the X server as a person's would: the window takes the
// focus, Home selects the first preset of the list and Return runs it.
TEST_F(DesktopTest, ReturnInThePresetListRunsTheSelectedPreset) {
    if (!Desktop::canType())
        GTEST_SKIP() << "xdotool is not installed (scripts/setup.sh installs it)";
    sandbox.addPreset(QStringLiteral("Docs"), sandbox.source());
    desktop->startProgram(sandbox, program);
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("SWL is ready now.")));
    QString window;
    ASSERT_TRUE(waitUntil([&] {
        window = desktop->windowId(QStringLiteral("Stowline"));
        return !window.isEmpty();
    }));
    ASSERT_TRUE(
        desktop->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}));
    ASSERT_TRUE(
        desktop->xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("200"),
                          QStringLiteral("Home"), QStringLiteral("Return")}));
    EXPECT_TRUE(sandbox.waitForLogLine(QStringLiteral("Docs: Done.")))
        << sandbox.logMessages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(QDir(sandbox.destination()).entryList(QDir::Files).size(), 1);
    exitProgram();
}

// A preset made in the preset editor with the keyboard, as a person would: Insert opens the
// editor, Ctrl+Tab moves between its tabs, Alt+O is OK. The preset then runs, and its
// archive holds the included folder without the files of the excluded mask.
TEST_F(DesktopTest, PresetCreatedInTheEditorRunsWithItsLists) {
    if (!Desktop::canType() || QStandardPaths::findExecutable(QStringLiteral("bsdtar")).isEmpty())
        GTEST_SKIP() << "xdotool or bsdtar is not installed (scripts/setup.sh installs them)";
    QFile junk(sandbox.source() + QStringLiteral("/sub/scratch.tmp"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("throw me away\n");
    junk.close();
    QDir().mkpath(sandbox.destination());
    // No leak check at exit: once the editor has been shown on a real X display, Qt now
    // and then keeps the text of its volume list past exit (docs/sanitizers.md).
    desktop->startProgram(sandbox, program, {}, Desktop::LeakCheck::Off);
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("SWL is ready now.")));
    QString main;
    ASSERT_TRUE(waitUntil([&] {
        main = desktop->windowId(QStringLiteral("Stowline"));
        return !main.isEmpty();
    }));
    const auto keys = [&](const QStringList& names) {
        return desktop->xdotool(
            QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("150")} +
            names);
    };
    const auto type = [&](const QString& text) {
        return desktop->xdotool(
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
    };
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main}));
    const QString editor =
        desktop->pressUntilShown(QStringLiteral("Insert"), QStringLiteral("Preset"));
    ASSERT_FALSE(editor.isEmpty());
    // A click into the window gives it the pointer's focus as well.
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), editor,
                                  QStringLiteral("400"), QStringLiteral("5"),
                                  QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(
        desktop->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), editor}));
    // General tab: name, archive name, the date mask kept, volumes "None".
    ASSERT_TRUE(type(QStringLiteral("Docs")));
    ASSERT_TRUE(keys({QStringLiteral("Tab")}));
    ASSERT_TRUE(type(QStringLiteral("docs")));
    ASSERT_TRUE(keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(type(QStringLiteral("None")));
    // Actions tab: the folder task and its folder.
    ASSERT_TRUE(keys({QStringLiteral("ctrl+Tab"), QStringLiteral("space"), QStringLiteral("Tab")}));
    ASSERT_TRUE(type(sandbox.destination()));
    // File lists tab: the source folder in, the mask out.
    ASSERT_TRUE(keys({QStringLiteral("ctrl+Tab")}));
    ASSERT_TRUE(type(sandbox.source()));
    ASSERT_TRUE(keys({QStringLiteral("Tab")}));
    ASSERT_TRUE(type(QStringLiteral("*.tmp")));
    ASSERT_TRUE(keys({QStringLiteral("alt+o")}));
    // The box that says "Preset has been added." takes Return.
    ASSERT_TRUE(waitUntil(
        [&] { return QFile::exists(sandbox.dataFolder() + QStringLiteral("/presets/Docs.pst")); }));
    stowline::backup::tarcopt stored;
    ASSERT_TRUE(sandbox.loadPreset(QStringLiteral("Docs"), stored));
    EXPECT_EQ(stored.vol, QStringLiteral("None"));
    ASSERT_TRUE(keys({QStringLiteral("Return")}));
    ASSERT_TRUE(waitUntil([&] { return !desktop->showsWindow(QStringLiteral("Preset")); }));

    ASSERT_TRUE(desktop->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main}));
    ASSERT_TRUE(keys({QStringLiteral("Home"), QStringLiteral("Return")}));
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("Docs: Done.")))
        << sandbox.logMessages().join(QLatin1Char('\n')).toStdString();
    const QStringList archives = QDir(sandbox.destination()).entryList(QDir::Files);
    ASSERT_EQ(archives.size(), 1);
    QProcess bsdtar;
    bsdtar.start(QStringLiteral("bsdtar"),
                 {QStringLiteral("-tf"), sandbox.destination() + QLatin1Char('/') + archives[0]});
    bsdtar.waitForFinished();
    const QString listing = QString::fromUtf8(bsdtar.readAllStandardOutput());
    EXPECT_TRUE(listing.contains(QStringLiteral("notes.txt"))) << listing.toStdString();
    EXPECT_FALSE(listing.contains(QStringLiteral("scratch.tmp"))) << listing.toStdString();
    exitProgram();
}

// F9 opens the settings dialog; Return takes its OK, which stores the options and the skin
// in use (swl.ocs). Without a skin file at start-up, skins are off and stay off.
TEST_F(DesktopTest, SettingsOpenWithF9AndOkStoresTheSkin) {
    if (!Desktop::canType())
        GTEST_SKIP() << "xdotool is not installed (scripts/setup.sh installs it)";
    desktop->startProgram(sandbox, program);
    ASSERT_TRUE(sandbox.waitForLogLine(QStringLiteral("SWL is ready now.")));
    QString window;
    ASSERT_TRUE(waitUntil([&] {
        window = desktop->windowId(QStringLiteral("Stowline"));
        return !window.isEmpty();
    }));
    ASSERT_TRUE(
        desktop->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}));
    const QString settings =
        desktop->pressUntilShown(QStringLiteral("F9"), QStringLiteral("Settings"));
    ASSERT_FALSE(settings.isEmpty());
    const QString skinFile = sandbox.dataFolder() + QStringLiteral("/swl.ocs");
    EXPECT_FALSE(QFileInfo::exists(skinFile));
    ASSERT_TRUE(
        desktop->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), settings}));
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    EXPECT_TRUE(waitUntil([&] { return !desktop->showsWindow(QStringLiteral("Settings")); }));
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(skinFile); }));
    QFile skin(skinFile);
    ASSERT_TRUE(skin.open(QIODevice::ReadOnly));
    EXPECT_TRUE(skin.readAll().startsWith("; Stowline 3.01 skin\r\n"));
    exitProgram();
}

} // namespace
