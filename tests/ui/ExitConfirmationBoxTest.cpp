#include "ui/ExitConfirmationBox.h"

#include "core/MessageTable.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace stowline::ui {
namespace {

using namespace std::chrono_literals;

QString labelText(const ExitCountdownDialog& dialog) {
    return dialog.findChild<QLabel*>(QStringLiteral("countdown"))->text();
}

TEST(ExitConfirmationBoxTest, EachAnswerEndsTheCountdownWithItsChoice) {
    const auto click = [](const char* name) {
        return [name](ExitCountdownDialog& dialog) {
            QTest::mouseClick(dialog.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
        };
    };
    struct Case {
        const char* name;
        std::function<void(ExitCountdownDialog&)> answer;
        core::ExitChoice expected;
    };
    const Case cases[] = {
        {"exit", click("exitButton"), core::ExitChoice::Close},
        {"stay", click("stayButton"), core::ExitChoice::Cancel},
        {"hide", click("hideButton"), core::ExitChoice::HideToTray},
        {"escape", [](ExitCountdownDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
         core::ExitChoice::Close},
    };
    const core::MessageTable messages;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExitCountdownDialog dialog(messages, 15, 20ms);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        c.answer(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.choice(), c.expected);
        // An answered box counts no further.
        const int remaining = dialog.remainingSeconds();
        QTest::qWait(100);
        EXPECT_EQ(dialog.remainingSeconds(), remaining);
    }
}

TEST(ExitConfirmationBoxTest, TheCountdownShowsTheRemainingSecondsAndExitsAtZero) {
    core::MessageTable messages;
    ASSERT_TRUE(messages.replace(u"swlwillexit", QStringLiteral("Exit in %d s")));
    ExitCountdownDialog dialog(messages, 3, 150ms);
    dialog.show();
    QStringList shown{labelText(dialog)};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (labelText(dialog) != shown.last())
                shown << labelText(dialog);
            return !dialog.isVisible();
        },
        5000));
    EXPECT_EQ(dialog.choice(), core::ExitChoice::Close);
    EXPECT_EQ(dialog.remainingSeconds(), 0);
    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown.mid(0, 3),
              (QStringList{QStringLiteral("Exit in 3 s"), QStringLiteral("Exit in 2 s"),
                           QStringLiteral("Exit in 1 s")}));
}

TEST(ExitConfirmationBoxTest, UnansweredTheBoxClosesTheProgramAfterItsFifteenTicks) {
    ExitConfirmationBox box(10ms);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(box.confirmExit(core::MessageTable()), core::ExitChoice::Close);
    EXPECT_GE(elapsed.elapsed(), 15 * 10);
}

} // namespace
} // namespace stowline::ui
