#include "core/Program.h"

#include "core/Clock.h"
#include "core/DataFolder.h"
#include "core/Language.h"
#include "core/OptionsFile.h"
#include "core/StartupMode.h"
#include "platform/InstanceLock.h"
#include "platform/PathText.h"
#include "platform/Prompts.h"
#include "platform/SystemPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace stowline::core {

namespace {
constexpr int kExitFailure = 1;
constexpr int kIdlePollMilliseconds = 200;

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}
} // namespace

Program::Program(ProgramServices services, QStringList arguments, QSize screen, QObject* parent)
    : QObject(parent), services_(services), arguments_(std::move(arguments)), screen_(screen),
      log_(folders_, flags_, options_, messages_, services.clock, services.sound) {}

Program::~Program() = default;

bool Program::start() {
    if (!takeInstanceLock())
        return false;
    folders_.program = services_.paths.programFolder();
    if (!settleDataFolder())
        return false;
    if (!writeRunFile(folders_.data, services_.clock.now().date())) {
        services_.prompts.showError(dataFolderNotWritableMessage(
            folders_.data, folders_.program, DataFolderSetup(services_.paths).infoFilePath()));
        exitCode_ = kExitFailure;
        return false;
    }
    folders_.presets = folders_.data + QStringLiteral("/presets");
    loadOptions();
    flags_.CloseWithoutAsking = false;
    flags_.OperationInProgress = false;

    log_.setShowsList(!flags_.SecondInstance);
    if (!flags_.SecondInstance)
        log_.LoadFromFile();
    if (!flags_.SecondInstance) {
        LoadMessages(messages_, folders_.program, options_.lng);
        log_.WriteLog(messages_.text(u"swlloadingsettings") + QStringLiteral(" (v.") +
                      QLatin1String(kVersionText) + QStringLiteral(" [") +
                      QLatin1String(kBuildDateText) + QStringLiteral("])."));
    }
    checkTemporaryFolder();
    locateArchiver();
    QDir().mkpath(options_.pte);
    QDir().mkpath(folders_.presets);
    return true;
}

bool Program::takeInstanceLock() {
    flags_.SecondInstance = !services_.instanceLock.tryAcquire();
    if (flags_.SecondInstance && arguments_.isEmpty()) {
        services_.prompts.showMessage(QLatin1Char('\n') + messages_.text(u"swlisactive"));
        exitCode_ = kExitFailure;
        return false;
    }
    return true;
}

bool Program::settleDataFolder() {
    const DataFolderSetup setup(services_.paths);
    folders_.data = setup.recordedDataFolder();
    if (folders_.data.isEmpty()) {
        folders_.data = services_.dataFolderChooser.chooseDataFolder(setup);
        if (folders_.data.isEmpty()) {
            services_.prompts.showError(dataPathInvalidMessage(folders_.data));
            exitCode_ = kExitFailure;
            return false;
        }
        setup.migrateOldLayout(folders_.data);
    }
    return true;
}

void Program::loadOptions() {
    LoadOptions(options_, {folders_.program, folders_.data, screen_}, messages_,
                [this](const QString& message) { log_.WriteLog(message); });
}

void Program::checkTemporaryFolder() {
    options_.pte = platform::withoutTrailingSeparator(options_.pte);
    QString reason;
    if (options_.pte.isEmpty())
        reason = messages_.text(u"tempfoldertodefault");
    else if (!QDir().mkpath(options_.pte))
        reason = messages_.text(u"invalidfolder");
    if (reason.isEmpty())
        return;
    options_.pte = services_.paths.temporaryFolder();
    log_.WriteError(reason + QStringLiteral(" - ") + quoted(options_.pte) + QLatin1Char('.'));
}

void Program::locateArchiver() {
    if (!options_.pwi.isEmpty() && QFileInfo(options_.pwi).isFile())
        return;
    QString found;
    for (const QString& candidate : services_.paths.archiverCandidates()) {
        if (QFileInfo(candidate).isFile()) {
            found = candidate;
            break;
        }
    }
    if (found.isEmpty() && !services_.prompts.askOpenFile(messages_.text(u"locatearchiver"), found))
        found.clear();
    if (found.isEmpty()) {
        log_.WriteError(messages_.text(u"nowinrarexe"));
        return;
    }
    options_.pwi = found;
    log_.WriteLog(messages_.text(u"winrarpathsetto") + quoted(found) + QLatin1Char('.'));
}

void Program::mainWindowActivated() {
    if (activated_)
        return;
    activated_ = true;
    log_.TruncateLog();
    if (!flags_.SecondInstance)
        log_.WriteLog(messages_.text(u"swlisreadynow"));
}

bool Program::endSequenceAllowed() {
    if (flags_.OperationInProgress)
        return false;
    // The session is ending whatever the program answers; asking for a password then
    // would only lose the settings that the end sequence saves.
    if (!flags_.SecondInstance && options_.spe && !sessionIsEnding_) {
        QString password;
        if (!services_.prompts.askText(messages_.text(u"enteradminpassword"), QString(), password,
                                       true))
            return false;
        if (password != options_.sgp) {
            services_.prompts.showError(QLatin1Char('\n') + messages_.text(u"incorrectpassword"));
            return false;
        }
    }
    if (!flags_.SecondInstance && !flags_.CloseWithoutAsking && !options_.dec) {
        switch (services_.exitConfirmation.confirmExit(messages_)) {
        case ExitChoice::Close:
            break;
        case ExitChoice::Cancel:
            return false;
        case ExitChoice::HideToTray:
            emit hideToTrayRequested();
            return false;
        }
    }
    return true;
}

bool Program::requestClose() {
    if (closed_)
        return true;
    if (!endSequenceAllowed())
        return false;
    closed_ = true;
    if (closeWhenIdleTimer_)
        closeWhenIdleTimer_->stop();
    if (!flags_.SecondInstance) {
        emit savingState();
        SaveOptions(options_, folders_.data);
        ApplyStartupMode(options_.sta, services_.startupRegistration);
        log_.WriteLog(messages_.text(u"swlhaltsword"));
        log_.WriteLog(QString());
    }
    emit finished(exitCode_);
    return true;
}

void Program::sessionEnding() {
    if (closed_)
        return;
    if (!sessionIsEnding_) {
        sessionIsEnding_ = true;
        log_.WriteLog(QStringLiteral("Windows is shutting down."));
    }
    flags_.CloseWithoutAsking = true;
    if (flags_.OperationInProgress) {
        // Let the running operation end cleanly first, then close.
        flags_.AbortRequested = true;
        closeWhenIdle();
        return;
    }
    requestClose();
}

void Program::closeWhenIdle() {
    if (!closeWhenIdleTimer_) {
        closeWhenIdleTimer_ = new QTimer(this);
        closeWhenIdleTimer_->setInterval(kIdlePollMilliseconds);
        connect(closeWhenIdleTimer_, &QTimer::timeout, this, [this] {
            if (!flags_.OperationInProgress)
                requestClose();
        });
    }
    closeWhenIdleTimer_->start();
}

} // namespace stowline::core
