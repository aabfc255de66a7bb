#include "LogMessages.h"
#include "core/Clock.h"
#include "core/DataFolder.h"
#include "core/OptionFields.h"
#include "core/OptionsFile.h"
#include "core/Program.h"
#include "core/TextFiles.h"
#include "platform/fakes/FakeInstanceLock.h"
#include "platform/fakes/FakeSystemPaths.h"
#include "platform/fakes/RecordingPrompts.h"
#include "platform/fakes/RecordingSoundPlayer.h"
#include "platform/fakes/RecordingStartupRegistration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <optional>

using namespace stowline;
using namespace stowline::core;

namespace {

// Picks a folder the way a person would in the data-folder dialog.
class ScriptedChooser final : public DataFolderChooser {
public:
    enum class Pick { Cancel, AllUsers, ThisUser };
    Pick pick = Pick::Cancel;
    std::optional<DataFolderSetup::Choice> lastChoice;

    QString chooseDataFolder(const DataFolderSetup& setup) override {
        if (pick == Pick::Cancel)
            return {};
        const QString folder =
            pick == Pick::AllUsers ? setup.allUsersFolder() : setup.thisUserFolder();
        lastChoice = setup.choose(folder, false);
        return folder;
    }
};

class ScriptedExit final : public ExitConfirmation {
public:
    ExitChoice answer = ExitChoice::Close;
    int asked = 0;
    ExitChoice confirmExit(const MessageTable&) override {
        ++asked;
        return answer;
    }
};

class StartupTest : public ::testing::Test {
protected:
    StartupTest() : paths(root.path()), clock(QDateTime(QDate(2016, 3, 3), QTime(9, 5, 7))) {
        QDir().mkpath(paths.program);
        QDir().mkpath(paths.temporary);
        dataFolder = root.filePath(QStringLiteral("data"));
    }

    void recordDataFolder(const QString& folder) {
        ASSERT_TRUE(
            writeTextLinesAtomically(paths.program + QStringLiteral("/swlinfo.dat"), {folder}));
    }

    Program& makeProgram(QStringList arguments = {}, bool anotherInstanceRuns = false) {
        lock.emplace(anotherInstanceRuns);
        program.emplace(
            ProgramServices{*lock, paths, prompts, sound, clock, chooser, exitBox, registration},
            std::move(arguments), QSize(1280, 1024));
        QObject::connect(&*program, &Program::finished, [this](int code) { finishedWith = code; });
        return *program;
    }

    // Log lines without their time stamps.
    QStringList logMessages() const {
        return stowline::testing::withoutTimeStamps(
            readTextLines(dataFolder + QStringLiteral("/swl.log")).value_or(QStringList()));
    }

    QTemporaryDir root;
    platform::FakeSystemPaths paths;
    ManualClock clock;
    platform::RecordingPrompts prompts;
    platform::RecordingSoundPlayer sound;
    ScriptedChooser chooser;
    ScriptedExit exitBox;
    platform::RecordingStartupRegistration registration;
    std::optional<platform::FakeInstanceLock> lock;
    std::optional<Program> program;
    std::optional<int> finishedWith;
    QString dataFolder;
};

TEST_F(StartupTest, RecordedDataFolderIsUsedAndStartupIsLogged) {
    recordDataFolder(dataFolder);
    QDir().mkpath(dataFolder);
    const QString archiver = paths.program + QStringLiteral("/stowarc");
    ASSERT_TRUE(writeTextLinesAtomically(archiver, {}));
    paths.archivers = {root.filePath(QStringLiteral("no-rar-here")), archiver};

    Program& p = makeProgram();
    ASSERT_TRUE(p.start());
    p.mainWindowActivated();

    EXPECT_EQ(p.folders().data, dataFolder);
    EXPECT_EQ(p.folders().presets, dataFolder + QStringLiteral("/presets"));
    EXPECT_TRUE(QDir(p.folders().presets).exists());
    EXPECT_TRUE(QFile::exists(dataFolder + QStringLiteral("/swl.run")));
    EXPECT_EQ(p.options().pwi, archiver);
    EXPECT_EQ(p.options().pte, paths.temporary);
    EXPECT_EQ(logMessages(),
              QStringList({QStringLiteral("Please check the settings!"),
                           QStringLiteral("SWL started, loading settings. (v.3.01 [2016.03.15])."),
                           QStringLiteral("Temp folder has been set to default - \"%1\". [!]")
                               .arg(paths.temporary),
                           QStringLiteral("WinRAR path has been set to \"%1\".").arg(archiver),
                           QStringLiteral("SWL is ready now.")}));
}

TEST_F(StartupTest, MissingArchiverIsAnErrorLineAndStartupGoesOn) {
    recordDataFolder(dataFolder);
    QDir().mkpath(dataFolder);
    Program& p = makeProgram();
    ASSERT_TRUE(p.start());
    EXPECT_TRUE(logMessages().contains(
        QStringLiteral("WinRAR has not been found. Please specify its path manually [!]")));
    EXPECT_TRUE(p.flags().ErrorLogged);
}

TEST_F(StartupTest, UnwritableDataFolderEndsWithTheSolutionsMessage) {
    recordDataFolder(dataFolder + QStringLiteral("/does/not/exist"));
    Program& p = makeProgram();
    EXPECT_FALSE(p.start());
    EXPECT_NE(p.exitCode(), 0);
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith(
        QStringLiteral(
            "The folder \"%1/does/not/exist\" is not writeable under this user account.\n\n"
            "Solutions: 1) Fast")
            .arg(dataFolder)));
    EXPECT_TRUE(prompts.errors[0].contains(
        QStringLiteral("edit %1/swlinfo.dat, write").arg(paths.program)));
}

TEST_F(StartupTest, SolutionsMessageNamesTheSwlinfoFileInUse) {
    // Without a program folder to write to, swlinfo.dat lives in the per-user fallback:
    // that is the file to edit.
    ASSERT_TRUE(QDir(paths.program).removeRecursively());
    QDir().mkpath(paths.fallbackInfo);
    ASSERT_TRUE(writeTextLinesAtomically(paths.fallbackInfo + QStringLiteral("/swlinfo.dat"),
                                         {dataFolder + QStringLiteral("/does/not/exist")}));
    Program& p = makeProgram();
    EXPECT_FALSE(p.start());
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].contains(
        QStringLiteral("edit %1/swlinfo.dat, write").arg(paths.fallbackInfo)))
        << prompts.errors[0].toStdString();
}

TEST_F(StartupTest, FirstStartRecordsTheChosenFolderAndMovesTheOldLayout) {
    const QString program = paths.program;
    ASSERT_TRUE(writeTextLinesAtomically(program + QStringLiteral("/swl.opt"),
                                         {QStringLiteral("old options")}));
    QDir().mkpath(program + QStringLiteral("/presets"));
    ASSERT_TRUE(writeTextLinesAtomically(program + QStringLiteral("/presets/Docs.pst"),
                                         {QStringLiteral("docs")}));
    // A file already in the chosen folder is kept; the old one stays behind.
    dataFolder = paths.allUsers;
    QDir().mkpath(dataFolder);
    ASSERT_TRUE(
        writeTextLinesAtomically(dataFolder + QStringLiteral("/swl.pst"), {QStringLiteral("new")}));
    ASSERT_TRUE(
        writeTextLinesAtomically(program + QStringLiteral("/swl.pst"), {QStringLiteral("old")}));
    chooser.pick = ScriptedChooser::Pick::AllUsers;

    Program& p = makeProgram();
    ASSERT_TRUE(p.start());

    EXPECT_EQ(p.folders().data, paths.allUsers);
    EXPECT_EQ(readFirstLine(program + QStringLiteral("/swlinfo.dat")), paths.allUsers);
    EXPECT_EQ(readFirstLine(dataFolder + QStringLiteral("/swl.opt")),
              QStringLiteral("old options"));
    EXPECT_EQ(readFirstLine(dataFolder + QStringLiteral("/presets/Docs.pst")),
              QStringLiteral("docs"));
    EXPECT_EQ(readFirstLine(dataFolder + QStringLiteral("/swl.pst")), QStringLiteral("new"));
    EXPECT_TRUE(QFile::exists(program + QStringLiteral("/swl.pst")));
    EXPECT_FALSE(QFile::exists(program + QStringLiteral("/swl.opt")));
}

TEST_F(StartupTest, DataFolderChoiceRules) {
    const DataFolderSetup setup(paths);
    // A typed folder is created with its parents.
    const QString typed = root.filePath(QStringLiteral("typed/deep/folder"));
    EXPECT_TRUE(setup.choose(typed, true).accepted);
    EXPECT_TRUE(QDir(typed).exists());
    EXPECT_EQ(setup.recordedDataFolder(), typed);

    // A typed folder that cannot be created keeps the dialog open.
    ASSERT_TRUE(writeTextLinesAtomically(root.filePath(QStringLiteral("a-file")), {}));
    const DataFolderSetup::Choice blocked =
        setup.choose(root.filePath(QStringLiteral("a-file/sub")), true);
    EXPECT_FALSE(blocked.accepted);
    EXPECT_EQ(blocked.message, QStringLiteral("Cannot create this folder"));

    // swlinfo.dat that cannot be written: the folder is still used for this run.
    ASSERT_TRUE(QFile::remove(paths.program + QStringLiteral("/swlinfo.dat")));
    ASSERT_TRUE(QDir(paths.program).mkdir(QStringLiteral("swlinfo.dat")));
    const DataFolderSetup::Choice unrecorded = setup.choose(typed, false);
    EXPECT_TRUE(unrecorded.accepted);
    EXPECT_EQ(
        unrecorded.message,
        QStringLiteral("Error: %1/swlinfo.dat is not writable. Rus installation as administrator!")
            .arg(paths.program));
}

TEST_F(StartupTest, ClosingTheDialogWithoutAChoiceEndsTheProgram) {
    Program& p = makeProgram();
    EXPECT_FALSE(p.start());
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_EQ(prompts.errors, QStringList({QStringLiteral(
                                  "Data path is invalid (). Please specify correct data path.")}));
}

TEST_F(StartupTest, SecondInstanceWithoutArgumentsIsRefused) {
    recordDataFolder(dataFolder);
    QDir().mkpath(dataFolder);
    Program& p = makeProgram({}, true);
    EXPECT_FALSE(p.start());
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_EQ(prompts.messages, QStringList({QStringLiteral("\nSWL is already running!")}));
    EXPECT_FALSE(QFile::exists(dataFolder + QStringLiteral("/swl.log")));
}

TEST_F(StartupTest, UnusableTemporaryFolderFallsBackToTheSystemOne) {
    recordDataFolder(dataFolder);
    QDir().mkpath(dataFolder);
    ASSERT_TRUE(writeTextLinesAtomically(root.filePath(QStringLiteral("plain-file")), {}));
    topt stored;
    SetOptionDefaults(stored, {paths.program, dataFolder, QSize()});
    stored.pte = root.filePath(QStringLiteral("plain-file/tmp/"));
    ASSERT_TRUE(SaveOptions(stored, dataFolder));

    Program& p = makeProgram();
    ASSERT_TRUE(p.start());
    EXPECT_EQ(p.options().pte, paths.temporary);
    EXPECT_TRUE(logMessages().contains(
        QStringLiteral("Invalid temp folder. Changed to default - \"%1\". [!]")
            .arg(paths.temporary)));
}

class EndSequenceTest : public StartupTest {
protected:
    Program& startedProgram() {
        recordDataFolder(dataFolder);
        QDir().mkpath(dataFolder);
        Program& p = makeProgram();
        EXPECT_TRUE(p.start());
        return p;
    }
};

TEST_F(EndSequenceTest, NormalCloseEndsWithHaltsAndAnEmptyLine) {
    Program& p = startedProgram();
    ASSERT_TRUE(p.requestClose());
    EXPECT_EQ(exitBox.asked, 1);
    EXPECT_EQ(finishedWith, 0);
    const QStringList lines = readTextLines(dataFolder + QStringLiteral("/swl.log")).value();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("[2016.03.03 09:05:07] SWL halts."));
    EXPECT_EQ(lines.last(), QStringLiteral("[2016.03.03 09:05:07] "));
}

TEST_F(EndSequenceTest, CloseIsRefusedByOperationPasswordOrAnswer) {
    struct Case {
        const char* name;
        bool operation;
        bool passwordSet;
        QStringList typed;
        ExitChoice answer;
        bool closes;
    };
    const Case cases[] = {
        {"operation in progress", true, false, {}, ExitChoice::Close, false},
        {"password cancelled", false, true, {}, ExitChoice::Close, false},
        {"wrong password", false, true, {QStringLiteral("Secret")}, ExitChoice::Close, false},
        {"right password", false, true, {QStringLiteral("secret")}, ExitChoice::Close, true},
        {"confirmation cancelled", false, false, {}, ExitChoice::Cancel, false},
        {"hidden to tray", false, false, {}, ExitChoice::HideToTray, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Program& p = startedProgram();
        p.flags().OperationInProgress = c.operation;
        p.options().spe = c.passwordSet;
        p.options().sgp = QStringLiteral("secret");
        prompts.textAnswers = c.typed;
        prompts.errors.clear();
        exitBox.answer = c.answer;
        finishedWith.reset();
        EXPECT_EQ(p.requestClose(), c.closes);
        EXPECT_EQ(finishedWith.has_value(), c.closes);
        const bool wrongPassword = c.typed == QStringList{QStringLiteral("Secret")};
        EXPECT_EQ(prompts.errors, wrongPassword
                                      ? QStringList{QStringLiteral("\nIncorrect password.")}
                                      : QStringList{});
    }
}

TEST_F(EndSequenceTest, SessionEndDuringAnOperationAbortsItAndClosesOnceItIsDone) {
    Program& p = startedProgram();
    p.options().spe = true; // the session ends whatever the password
    p.flags().OperationInProgress = true;
    EXPECT_FALSE(p.sessionMayEnd());

    p.sessionEnding();
    EXPECT_TRUE(p.flags().AbortRequested);
    EXPECT_TRUE(p.flags().CloseWithoutAsking);
    EXPECT_FALSE(finishedWith.has_value());

    p.flags().OperationInProgress = false;
    for (int i = 0; i < 50 && !finishedWith; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    EXPECT_EQ(finishedWith, 0);
    EXPECT_EQ(exitBox.asked, 0);
    const QStringList messages = logMessages();
    EXPECT_EQ(messages.mid(messages.size() - 3),
              QStringList({QStringLiteral("Windows is shutting down."),
                           QStringLiteral("SWL halts."), QString()}));
}

} // namespace
