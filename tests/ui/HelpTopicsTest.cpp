#include "ui/help/HelpTopics.h"

#include "core/MessageTable.h"
#include "platform/fakes/RecordingHelpViewer.h"
#include "platform/fakes/RecordingPrompts.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace stowline::ui {
namespace {

class HelpTopicsTest : public ::testing::Test {
protected:
    HelpTopicsTest() {
        QDir(dir.path()).mkpath(QStringLiteral("manual"));
        QFile page(dir.filePath(QStringLiteral("manual/configuring_the_scheduler.htm")));
        page.open(QIODevice::WriteOnly);
    }

    QTemporaryDir dir;
    platform::RecordingHelpViewer viewer;
    platform::RecordingPrompts prompts;
    core::MessageTable messages;
    HelpTopics help{dir.path(), viewer, prompts, messages};
};

TEST_F(HelpTopicsTest, OpensThePageOfTheManualInTheProgramFolder) {
    EXPECT_TRUE(help.ShowHelpTopic(QStringLiteral("configuring_the_scheduler.htm")));
    ASSERT_EQ(viewer.opened.size(), 1);
    EXPECT_EQ(viewer.opened.first(), QUrl::fromLocalFile(dir.filePath(
                                         QStringLiteral("manual/configuring_the_scheduler.htm"))));
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(HelpTopicsTest, SaysWhyAPageCannotBeShown) {
    struct Case {
        const char* what;
        QString topic;
        bool viewerStarts;
        bool viewerAsked;
        QString reason;
    };
    const QString missing = dir.filePath(QStringLiteral("manual/index.htm"));
    const QString present = dir.filePath(QStringLiteral("manual/configuring_the_scheduler.htm"));
    const Case cases[] = {
        {"missing page", QStringLiteral("index.htm"), true, false,
         QStringLiteral("The file ") + missing + QStringLiteral(" does not exist.")},
        {"no viewer", QStringLiteral("configuring_the_scheduler.htm"), false, true,
         QStringLiteral("No program could be started to show ") + present + QLatin1Char('.')},
        {"outside the manual", QStringLiteral("../swl.opt"), true, false,
         QStringLiteral("The file ../swl.opt does not exist.")},
    };
    for (const Case& c : cases) {
        viewer.opened.clear();
        viewer.opens = c.viewerStarts;
        prompts.errors.clear();
        EXPECT_FALSE(help.ShowHelpTopic(c.topic)) << c.what;
        EXPECT_EQ(!viewer.opened.isEmpty(), c.viewerAsked) << c.what;
        EXPECT_EQ(prompts.errors,
                  QStringList{QStringLiteral("\nCannot execute command.\n") + c.reason})
            << c.what;
    }
}

TEST_F(HelpTopicsTest, TheProjectPageOpensLikeATopic) {
    EXPECT_FALSE(help.showProjectPage());
    EXPECT_EQ(prompts.errors.size(), 1);
    QFile page(dir.filePath(QString::fromLatin1(kProjectPageAddress)));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    EXPECT_TRUE(help.showProjectPage());
    EXPECT_EQ(viewer.opened, QList<QUrl>{QUrl::fromLocalFile(page.fileName())});
}

// Every topic the windows open has its page in the manual beside the built program.
TEST(HelpTopicsManual, HasAPageForEveryTopic) {
    const QDir manual(QStringLiteral(STOWLINE_BUILT_PROGRAM_DIR "/manual"));
    for (const QString& topic : allHelpTopics())
        EXPECT_TRUE(manual.exists(topic)) << topic.toStdString();
    EXPECT_TRUE(QFile::exists(QStringLiteral(STOWLINE_BUILT_PROGRAM_DIR "/") +
                              QString::fromLatin1(kProjectPageAddress)));
}

} // namespace
} // namespace stowline::ui
