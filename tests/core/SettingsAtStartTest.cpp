// The options and the language in the order start-up uses them: the options file is read
// (its complaint still in English), then the language that the option lng names replaces
// the messages of every later log line.
#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/Language.h"
#include "core/MessageTable.h"
#include "core/OptionsFile.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/fakes/RecordingSoundPlayer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace stowline::core {
namespace {

class SettingsAtStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(dataDir.isValid());
        folders = {programDir.path(), dataDir.path(), dataDir.filePath(QStringLiteral("presets"))};
        QFile language(folders.inProgram(QStringLiteral("Deutsch.lng")));
        ASSERT_TRUE(language.open(QIODevice::WriteOnly));
        language.write("[STRINGS]\r\n"
                       "pleasecheckthesettings=Bitte die Einstellungen pruefen!\r\n"
                       "swlloadingsettings=\"SWL gestartet, lade Einstellungen. \"\r\n");
    }

    // Steps 9 and 15 of start-up, then the start line.
    void start() {
        MessageTable messages;
        topt options;
        EventLog log(folders, flags, options, messages, clock, sound);
        LoadOptions(options, {folders.program, folders.data, QSize()}, messages,
                    [&](const QString& line) { log.WriteLog(line); });
        LoadMessages(messages, folders.program, options.lng);
        log.WriteLog(messages.text(u"swlloadingsettings"));
        lng = options.lng;
        saved = options;
    }

    QStringList logLines() const {
        return readTextLines(folders.inData(QStringLiteral("swl.log"))).value_or(QStringList());
    }

    QTemporaryDir programDir;
    QTemporaryDir dataDir;
    Folders folders;
    ProgramFlags flags;
    ManualClock clock{QDateTime(QDate(2016, 3, 15), QTime(9, 30))};
    platform::RecordingSoundPlayer sound;
    QString lng;
    topt saved;
};

TEST_F(SettingsAtStartTest, FreshDataFolderStartsInEnglishAndTheChosenLanguageLater) {
    start();
    EXPECT_EQ(lng, QStringLiteral("English (default).lng"));
    EXPECT_EQ(logLines(),
              (QStringList{
                  QStringLiteral("[2016.03.15 09:30:00] Please check the settings!"),
                  QStringLiteral("[2016.03.15 09:30:00] SWL started, loading settings."),
              }));

    // The user picks German; the program ends and saves its options.
    saved.lng = QStringLiteral("Deutsch.lng");
    ASSERT_TRUE(SaveOptions(saved, folders.data));
    QFile::remove(folders.inData(QStringLiteral("swl.log")));

    start();
    EXPECT_EQ(lng, QStringLiteral("Deutsch.lng"));
    EXPECT_EQ(logLines(), QStringList{QStringLiteral(
                              "[2016.03.15 09:30:00] SWL gestartet, lade Einstellungen. ")});
}

TEST_F(SettingsAtStartTest, ALanguageFileDeletedSinceStartsInEnglishSilently) {
    start();
    saved.lng = QStringLiteral("Deutsch.lng");
    ASSERT_TRUE(SaveOptions(saved, folders.data));
    ASSERT_TRUE(QFile::remove(folders.inProgram(QStringLiteral("Deutsch.lng"))));
    QFile::remove(folders.inData(QStringLiteral("swl.log")));

    start();
    EXPECT_EQ(logLines(),
              QStringList{QStringLiteral("[2016.03.15 09:30:00] SWL started, loading settings.")});
}

} // namespace
} // namespace stowline::core
