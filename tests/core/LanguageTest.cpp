#include "core/Language.h"
#include "core/LanguageFile.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/Options.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace stowline::core {
namespace {

TEST(LanguageFile, ValuesFollowTheProfileRulesAndTheExtraQuoteRule) {
    const struct {
        const char* raw;
        const char* value;
    } cases[] = {
        {"plain", "plain"},
        {"  blanks around \t", "blanks around"},
        {"\"DIALUP - \"", "DIALUP - "}, // quotes keep the trailing blank
        {"\"  lead and trail  \"", "  lead and trail  "},
        {"'single '", "single "},
        {"\"\"x\"\"", "x"}, // two pairs: both removed
        {"\"'x'\"", "x"},
        {"\"", ""}, // a lone quote
        {"'", ""},
        {"\"\"", ""},
        {"\"\"\"", ""},
        {"\"\"\"\"\"\"", "\"\""}, // only two pairs go
        {"\"mixed'", "\"mixed'"},
        {"\"open", "\"open"},
        {"say \"hi\"", "say \"hi\""}, // inner quotes stay
        {"a=b", "a=b"},               // only the first "=" separates
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(languageValue(QString::fromUtf8(c.raw)), QString::fromUtf8(c.value)) << c.raw;
}

TEST(LanguageFile, SectionsKeysAndLines) {
    const LanguageFile file = LanguageFile::parse({
        QStringLiteral("\uFEFF[Info]"),
        QStringLiteral("language=Deutsch"),
        QStringLiteral("orphan"),
        QStringLiteral("; comment=not a key"),
        QStringLiteral("  [ STRINGS ]  trailing text"),
        QStringLiteral("  DoneWord  =  Fertig."),
        QStringLiteral("doneword=second value"),
        QStringLiteral("=no key"),
        QStringLiteral("empty="),
        QStringLiteral("[forms]"),
        QStringLiteral("Form1=Hauptfenster"),
        QStringLiteral("[STRINGS]"),
        QStringLiteral("aborted=Abgebrochen."),
    });
    EXPECT_EQ(file.section(u"INFO").value(u"Language"), QStringLiteral("Deutsch"));
    const LanguageSection& strings = file.section(u"strings");
    EXPECT_EQ(strings.value(u"doneword"), QStringLiteral("Fertig.")); // the first one
    EXPECT_EQ(strings.value(u"empty"), QString());
    EXPECT_EQ(strings.value(u"aborted"), QStringLiteral("Abgebrochen.")); // second [STRINGS]
    EXPECT_FALSE(strings.value(u"comment"));
    EXPECT_FALSE(strings.value(u"orphan"));
    EXPECT_FALSE(strings.value(u"form1"));
    EXPECT_EQ(file.section(u"FORMS").value(u"FORM1"), QStringLiteral("Hauptfenster"));
    EXPECT_TRUE(file.section(u"MISSING").isEmpty());
    EXPECT_EQ(strings.value(u"missing", QStringLiteral("kept")), QStringLiteral("kept"));
}

TEST(LanguageFile, KeysBeforeAnySectionBelongToNone) {
    const LanguageFile file = LanguageFile::parse({QStringLiteral("doneword=x")});
    EXPECT_TRUE(file.section(u"").isEmpty());
    EXPECT_TRUE(file.section(u"STRINGS").isEmpty());
}

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(programDir.isValid()); }

    QString programFolder() const { return programDir.path(); }

    void writeLanguage(const QString& name, const QByteArray& text) {
        QFile file(programDir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir programDir;
    MessageTable messages;
};

TEST_F(LanguageTest, LoadMessagesReplacesOnlyTheKeysTheFileHolds) {
    writeLanguage(QStringLiteral("Deutsch.lng"), "[STRINGS]\r\n"
                                                 "dialupword=\"DIALUP (de) - \"\r\n"
                                                 "DONEWORD=Fertig.\r\n"
                                                 "notamessage=ignored\r\n"
                                                 "[FORMS]\r\n"
                                                 "aborted=not from STRINGS\r\n");
    LoadMessages(messages, programFolder(), QStringLiteral("Deutsch.lng"));
    EXPECT_EQ(messages.text(u"dialupword"), QStringLiteral("DIALUP (de) - "));
    EXPECT_EQ(messages.text(u"doneword"), QStringLiteral("Fertig."));
    EXPECT_EQ(messages.text(u"aborted"), QStringLiteral("Aborted."));
}

TEST_F(LanguageTest, EveryMessageOfTheTableCanBeTranslated) {
    const QStringList& keys = MessageTable::keys();
    // The keys of a language file's STRINGS section keep their order; the program's
    // later messages follow them.
    ASSERT_GE(keys.size(), 297);
    EXPECT_EQ(keys.first(), QStringLiteral("dialupconnected"));
    EXPECT_EQ(keys.at(296), QStringLiteral("select1dow"));
    QByteArray file = "[STRINGS]\r\n";
    for (const QString& key : keys)
        file += key.toLatin1() + "=\"<" + key.toLatin1() + "> \"\r\n";
    writeLanguage(QStringLiteral("All.lng"), file);
    LoadMessages(messages, programFolder(), QStringLiteral("All.lng"));
    // A key listed twice, or one the loader skips, would show here.
    for (const QString& key : keys)
        EXPECT_EQ(messages.text(key), QLatin1Char('<') + key + QStringLiteral("> "))
            << key.toStdString();
}

TEST_F(LanguageTest, ASecondLanguageLackingAKeyKeepsTheFirstLanguagesText) {
    writeLanguage(QStringLiteral("A.lng"), "[STRINGS]\ndoneword=A done\naborted=A aborted\n");
    writeLanguage(QStringLiteral("B.lng"), "[STRINGS]\ndoneword=B done\n");
    LoadMessages(messages, programFolder(), QStringLiteral("A.lng"));
    LoadMessages(messages, programFolder(), QStringLiteral("B.lng"));
    EXPECT_EQ(messages.text(u"doneword"), QStringLiteral("B done"));
    EXPECT_EQ(messages.text(u"aborted"), QStringLiteral("A aborted"));
}

TEST_F(LanguageTest, BuiltInMissingAndOutsideNamesChangeNothing) {
    // A file under the built-in name is never read.
    writeLanguage(QStringLiteral("English (default).lng"), "[STRINGS]\ndoneword=read!\n"
                                                           "[FORMS]\nForm1=read!\n");
    QDir(programFolder()).mkdir(QStringLiteral("sub"));
    writeLanguage(QStringLiteral("sub/Inner.lng"), "[STRINGS]\ndoneword=read!\n");
    for (const char* name : {"English (default).lng", "Deleted.lng", "sub/Inner.lng", "..", ""}) {
        LoadMessages(messages, programFolder(), QString::fromUtf8(name));
        EXPECT_EQ(messages.text(u"doneword"), QStringLiteral("Done.")) << name;
    }
    EXPECT_FALSE(FormCaptions(programFolder(), QStringLiteral("English (default).lng")));
    const std::optional<LanguageSection> missing =
        FormCaptions(programFolder(), QStringLiteral("Deleted.lng"));
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->isEmpty());
}

TEST_F(LanguageTest, InformationMessageWithFallbacks) {
    writeLanguage(QStringLiteral("Half.lng"),
                  "[INFO]\nlanguage=Deutsch\nupdated= \"2016.03.01 \"\n");
    // The labels are the current message texts.
    messages.replace(u"lngdev", QStringLiteral("Entwickler: "));
    EXPECT_EQ(
        LanguageInformation(messages, programFolder(), QStringLiteral("Half.lng")),
        QStringLiteral("\rLanguage: Deutsch\r"
                       "Entwickler: Unknown Developer\r"
                       "Contacts: Unknown E-mail\r"
                       "Last modified: 2016.03.01 \r"
                       "Compatibility: Unknown SWL version\r"
                       "\r"
                       "Please report misprints and translation inaccuracy to the developer.\r"));
    const LanguageInfo none = readLanguageInfo(LanguageFile());
    EXPECT_EQ(none.language, QStringLiteral("Unknown Language"));
    EXPECT_EQ(none.contacts, QStringLiteral("Unknown E-mail"));

    const QString builtIn =
        LanguageInformation(messages, programFolder(), QStringLiteral("English (default).lng"));
    EXPECT_FALSE(builtIn.contains(QStringLiteral("Unknown")));
    EXPECT_TRUE(builtIn.startsWith(QLatin1Char('\r')));
}

TEST_F(LanguageTest, AvailableLanguagesStartWithTheBuiltInOne) {
    writeLanguage(QStringLiteral("Deutsch.lng"), "");
    writeLanguage(QStringLiteral("English (default).lng"), "");
    writeLanguage(QStringLiteral("readme.txt"), "");
    QDir(programFolder()).mkdir(QStringLiteral("folder.lng"));
    QStringList found = availableLanguages(programFolder());
    ASSERT_FALSE(found.isEmpty());
    EXPECT_EQ(found.takeFirst(), QStringLiteral("English (default).lng"));
    found.sort();
    EXPECT_EQ(found, (QStringList{QStringLiteral("Deutsch.lng"),
                                  QStringLiteral("English (default).lng")}));
}

class ChooseLanguageTest : public LanguageTest {
protected:
    void SetUp() override {
        LanguageTest::SetUp();
        SetOptionDefaults(options, {programFolder(), programFolder(), QSize()});
        hooks.saveOptions = [this](const topt& saved) {
            events << QStringLiteral("save ") + saved.lng;
            return true;
        };
        hooks.changeWindowCaptions = [this](const QString& name) {
            events << QStringLiteral("windows ") + name;
            // The windows are captioned before the messages are loaded.
            events << QStringLiteral("doneword then: ") + messages.text(u"doneword");
        };
        hooks.writeLog = [this](const QString& line) { events << QStringLiteral("log ") + line; };
    }

    topt options;
    LanguageChoiceHooks hooks;
    QStringList events;
};

TEST_F(ChooseLanguageTest, AnExistingFileIsChosenSavedAppliedAndLoggedInTheNewLanguage) {
    writeLanguage(QStringLiteral("Deutsch.lng"),
                  "[STRINGS]\ndoneword=Fertig.\nlangwassetto=\"Sprache gesetzt: \"\n");
    EXPECT_TRUE(
        ChooseLanguage(QStringLiteral("Deutsch.lng"), options, messages, programFolder(), hooks));
    EXPECT_EQ(options.lng, QStringLiteral("Deutsch.lng"));
    EXPECT_EQ(events, (QStringList{
                          QStringLiteral("save Deutsch.lng"),
                          QStringLiteral("windows Deutsch.lng"),
                          QStringLiteral("doneword then: Done."),
                          QStringLiteral("log Sprache gesetzt: Deutsch.lng."),
                      }));
    EXPECT_EQ(messages.text(u"doneword"), QStringLiteral("Fertig."));
}

TEST_F(ChooseLanguageTest, TheBuiltInNameIsChosenWithoutAFile) {
    options.lng = QStringLiteral("Deutsch.lng");
    EXPECT_TRUE(ChooseLanguage(QStringLiteral("English (default).lng"), options, messages,
                               programFolder(), hooks));
    EXPECT_EQ(options.lng, QStringLiteral("English (default).lng"));
    EXPECT_EQ(
        events.last(),
        QStringLiteral("log Default English language was set. Please restart to apply changes."));
    EXPECT_TRUE(events.contains(QStringLiteral("save English (default).lng")));
}

TEST_F(ChooseLanguageTest, AnUnknownNameIsAnErrorAndChangesNothing) {
    writeLanguage(QStringLiteral("langdoesntexist.lng"), "[STRINGS]\nlangdoesntexist=Fehlt: %s\n");
    QDir(programFolder()).mkdir(QStringLiteral("Folder.lng"));
    for (const char* name : {"Klingon.lng", "english (default).lng", "Folder.lng", "../x.lng"}) {
        events.clear();
        EXPECT_FALSE(
            ChooseLanguage(QString::fromUtf8(name), options, messages, programFolder(), hooks));
        EXPECT_EQ(
            events,
            QStringList{
                QStringLiteral("log Language %1 doesn't exist [!]").arg(QString::fromUtf8(name))});
        EXPECT_EQ(options.lng, QStringLiteral("English (default).lng"));
    }
}

} // namespace
} // namespace stowline::core
