#include "platform/linux/XdgStartupRegistration.h"
#include "platform/linux/UserServiceManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace stowline::platform {
namespace {

class FakeServiceManager final : public UserServiceManager {
public:
    bool reachable() const override { return isReachable; }
    bool run(const QStringList& arguments) override {
        commands << arguments.join(QLatin1Char(' '));
        return succeeds;
    }
    bool isReachable = false;
    bool succeeds = true;
    QStringList commands;
};

QString contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Everything here happens under a temporary HOME with its own configuration and runtime
// folders, so neither the real autostart folder nor the real service manager is touched.
class XdgStartupRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("run")).toUtf8());
    }

    QString configHome() const { return home.filePath(QStringLiteral(".config")); }

    QTemporaryDir home;
    FakeServiceManager services;
    XdgStartupRegistration registration{QStringLiteral("/opt/stowline/stowline"),
                                        home.filePath(QStringLiteral(".config")), services};
};

TEST_F(XdgStartupRegistrationTest, ConfigHomeFollowsXdgConfigHomeElseHome) {
    EXPECT_EQ(XdgStartupRegistration::userConfigHome(), configHome());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("cfg")).toUtf8());
    EXPECT_EQ(XdgStartupRegistration::userConfigHome(), home.filePath(QStringLiteral("cfg")));
}

TEST_F(XdgStartupRegistrationTest, LogInEntryIsWrittenReplacedAndRemoved) {
    const QString entry = configHome() + QStringLiteral("/autostart/stowline.desktop");
    ASSERT_TRUE(registration.enableLoginStart({QStringLiteral("/hide"), QStringLiteral("/exit")}));
    EXPECT_EQ(contents(entry), QStringLiteral("[Desktop Entry]\n"
                                              "Type=Application\n"
                                              "Name=Stowline\n"
                                              "Comment=Backup scheduler, started hidden at log-in\n"
                                              "Exec=\"/opt/stowline/stowline\" /hide /exit\n"
                                              "Terminal=false\n"
                                              "X-GNOME-Autostart-enabled=true\n"));

    ASSERT_TRUE(registration.enableLoginStart({QStringLiteral("/hide")}));
    EXPECT_TRUE(
        contents(entry).contains(QStringLiteral("\nExec=\"/opt/stowline/stowline\" /hide\n")));

    EXPECT_TRUE(registration.disableLoginStart());
    EXPECT_FALSE(QFileInfo::exists(entry));
    EXPECT_TRUE(registration.disableLoginStart()); // already gone
    EXPECT_TRUE(services.commands.isEmpty());
}

TEST_F(XdgStartupRegistrationTest, ExecValuesKeepSpecialCharactersOfThePath) {
    const struct {
        const char* program;
        const char* desktop;
        const char* unit;
    } cases[] = {
        {"/usr/bin/stowline", R"("/usr/bin/stowline" /svc)", R"("/usr/bin/stowline" /svc)"},
        {"/home/a b/stowline", R"("/home/a b/stowline" /svc)", R"("/home/a b/stowline" /svc)"},
        {"/x/100%/s", R"("/x/100%%/s" /svc)", R"("/x/100%%/s" /svc)"},
        {"/x/$HOME/s", R"("/x/\\$HOME/s" /svc)", R"("/x/$$HOME/s" /svc)"},
        {"/x/a\"b/s", R"("/x/a\\"b/s" /svc)", R"("/x/a\"b/s" /svc)"},
        {"/x/a\\b/s", R"("/x/a\\\\b/s" /svc)", R"("/x/a\\b/s" /svc)"},
        {"/x/a`b/s", R"("/x/a\\`b/s" /svc)", R"("/x/a`b/s" /svc)"},
    };
    for (const auto& c : cases) {
        const QString program = QString::fromUtf8(c.program);
        EXPECT_EQ(XdgStartupRegistration::desktopExecValue(program, {QStringLiteral("/svc")}),
                  QString::fromUtf8(c.desktop))
            << c.program;
        EXPECT_EQ(XdgStartupRegistration::unitExecValue(program, {QStringLiteral("/svc")}),
                  QString::fromUtf8(c.unit))
            << c.program;
    }
}

TEST_F(XdgStartupRegistrationTest, ServiceThroughAReachableManager) {
    services.isReachable = true;
    ASSERT_TRUE(registration.enableService());
    const QString unit = configHome() + QStringLiteral("/systemd/user/stowline.service");
    EXPECT_EQ(contents(unit), QStringLiteral("[Unit]\n"
                                             "Description=Stowline backup scheduler\n"
                                             "\n"
                                             "[Service]\n"
                                             "Type=simple\n"
                                             "ExecStart=\"/opt/stowline/stowline\" /svc\n"
                                             "Restart=on-failure\n"
                                             "\n"
                                             "[Install]\n"
                                             "WantedBy=default.target\n"));
    EXPECT_EQ(services.commands, (QStringList{QStringLiteral("daemon-reload"),
                                              QStringLiteral("enable stowline.service")}));

    services.commands.clear();
    ASSERT_TRUE(registration.disableService());
    EXPECT_EQ(services.commands, (QStringList{QStringLiteral("disable stowline.service"),
                                              QStringLiteral("daemon-reload")}));
    EXPECT_FALSE(QFileInfo::exists(unit));
}

TEST_F(XdgStartupRegistrationTest, ServiceWithoutAManagerIsLinkedLikeEnableDoes) {
    ASSERT_TRUE(registration.enableService());
    const QFileInfo link(configHome() +
                         QStringLiteral("/systemd/user/default.target.wants/stowline.service"));
    ASSERT_TRUE(link.isSymLink());
    EXPECT_EQ(link.symLinkTarget(),
              configHome() + QStringLiteral("/systemd/user/stowline.service"));
    EXPECT_TRUE(link.exists());                // the link resolves
    ASSERT_TRUE(registration.enableService()); // again: the link is already there

    ASSERT_TRUE(registration.disableService());
    EXPECT_FALSE(QFileInfo(link.filePath()).isSymLink());
    EXPECT_FALSE(
        QFileInfo::exists(configHome() + QStringLiteral("/systemd/user/stowline.service")));
    EXPECT_TRUE(services.commands.isEmpty());
}

TEST_F(XdgStartupRegistrationTest, DisablingANeverInstalledServiceCallsNothing) {
    services.isReachable = true;
    EXPECT_TRUE(registration.disableService());
    EXPECT_TRUE(services.commands.isEmpty());
}

TEST_F(XdgStartupRegistrationTest, FailingManagerIsReported) {
    services.isReachable = true;
    services.succeeds = false;
    EXPECT_FALSE(registration.enableService());
    EXPECT_FALSE(registration.disableService());
    // The files are removed even though the manager refused.
    EXPECT_FALSE(
        QFileInfo::exists(configHome() + QStringLiteral("/systemd/user/stowline.service")));
}

TEST_F(XdgStartupRegistrationTest, UnwritableConfigFolderFails) {
    // A file where the autostart folder belongs.
    ASSERT_TRUE(QDir().mkpath(configHome()));
    QFile blocker(configHome() + QStringLiteral("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(registration.enableLoginStart({QStringLiteral("/hide")}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("autostart"), std::string::npos);
}

TEST(SystemctlUserServiceManager, UnreachableWithoutTheManagersSocket) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    EXPECT_FALSE(SystemctlUserServiceManager().reachable());
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_FALSE(SystemctlUserServiceManager().reachable());
}

} // namespace
} // namespace stowline::platform
