#include "platform/linux/QProcessLauncher.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace stowline;

namespace {

// The exit code of `sh -c <script>` started one way or the other.
int exitCodeOf(std::unique_ptr<platform::RunningProcess> process) {
    EXPECT_NE(process, nullptr);
    if (!process)
        return -2;
    QEventLoop loop;
    QObject::connect(process.get(), &platform::RunningProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!process->hasFinished())
        loop.exec();
    EXPECT_TRUE(process->hasFinished());
    return process->exitCode();
}

// The passed descriptor is open in that child, under the number the variable names, and
// in no other child: this program's copy stays close-on-exec.
TEST(QProcessLauncher, APassedDescriptorReachesThatChildOnly) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    const QString number = QString::number(ends[1]);
    const QString isOpen = QStringLiteral("-c \"test -e /proc/self/fd/%1\"").arg(number);
    const QString namedAndOpen =
        QStringLiteral("-c \"test \\\"$PASSED_FD\\\" = %1 && test -e /proc/self/fd/%1\"")
            .arg(number);
    platform::QProcessLauncher launcher;

    EXPECT_EQ(exitCodeOf(launcher.startPassing(QStringLiteral("/bin/sh"), namedAndOpen, true,
                                               {ends[1], QStringLiteral("PASSED_FD")})),
              0);
    EXPECT_EQ(exitCodeOf(launcher.start(QStringLiteral("/bin/sh"), isOpen, true)), 1);
    EXPECT_EQ(::fcntl(ends[1], F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_TRUE(qEnvironmentVariableIsEmpty("PASSED_FD"));
    ::close(ends[0]);
    ::close(ends[1]);
}

} // namespace
