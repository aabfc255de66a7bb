#include "disc/DiscStep.h"

#include "backup/HistoryRecorder.h"
#include "backup/RunState.h"
#include "core/EventLog.h"
#include "core/EventWait.h"
#include "core/MessageTable.h"
#include "core/ProgramState.h"
#include "disc/DiscEngine.h"
#include "disc/DiscTexts.h"
#include "platform/Prompts.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace stowline::disc {

namespace {
// The erase reports no progress: the bar bounces instead.
constexpr std::chrono::milliseconds kBounceTick{100};
constexpr int kBounceStep = 5;
} // namespace

DiscStep::DiscStep(DiscStepServices services, DiscSettings settings, QObject* parent)
    : QObject(parent), services_(services), settings_(settings) {
    DiscEngine& engine = services_.engine;
    connect(&engine, &DiscEngine::eraseDone, this, [this](bool failed) {
        engineBusy_ = false;
        engineResult_ = !failed;
    });
    connect(&engine, &DiscEngine::writeDone, this, [this](bool failed) {
        engineBusy_ = false;
        engineResult_ = !failed;
    });
    connect(&engine, &DiscEngine::verifyDone, this, &DiscStep::onVerifyDone);
}

QString DiscStep::text(QStringView key) const {
    return services_.messages.text(key);
}

void DiscStep::presetLog(QStringView key) {
    services_.log.WritePresetLog(text(key));
}

void DiscStep::presetError(const QString& message) {
    services_.log.WritePresetError(message);
}

void DiscStep::showProgress(int percent) {
    if (progress_)
        progress_(percent);
}

void DiscStep::burn(backup::RunState& run) {
    run_ = &run;
    burnSteps();
    unlockTray();
    showProgress(-1);
    services_.engine.releaseRecorder();
    run_ = nullptr;
}

bool DiscStep::burnSteps() {
    if (run_->RunFileList.isEmpty()) {
        presetError(text(u"cdnofilestoprecess"));
        return false;
    }
    presetLog(u"cdstarted");
    erased_ = false;
    eraseFailed_ = false;
    if (!openRecorder())
        return false;
    const std::optional<MediumInfo> medium = waitForDisc();
    return medium && makeRoom(*medium) && writeAndVerify();
}

bool DiscStep::openRecorder() {
    // A recorder that cannot be selected ends the step: going on would erase or write
    // whatever disc the engine had selected before.
    const QString address = run_->preset.cdr.trimmed();
    if (!services_.engine.selectRecorder(address)) {
        presetError(
            core::formatMessage(text(u"cdnorecorder"), {address, services_.engine.lastError()}));
        return false;
    }
    services_.engine.setCacheSize(run_->preset.cdb);
    return true;
}

std::optional<MediumInfo> DiscStep::waitForDisc() {
    if (run_->preset.edc) {
        services_.prompts.showMessage(QLatin1Char('\n') + text(u"insertcd"));
        if (services_.flags.AbortRequested)
            return std::nullopt;
    } else if (!cycleTray()) {
        return std::nullopt;
    }
    const Readiness readiness = waitUntilReady(settings_.readyChecks, {});
    if (readiness == Readiness::Aborted)
        return std::nullopt;
    if (readiness == Readiness::NotReady) {
        presetLog(u"cdnodiscindrive");
        return std::nullopt;
    }
    if (!pause(settings_.settle))
        return std::nullopt;
    logMediumInfo();
    const MediumInfo medium = services_.engine.mediumInfo();
    if (!medium.writable && !medium.erasable) {
        presetLog(u"cdnodiscindrive");
        return std::nullopt;
    }
    return medium;
}

bool DiscStep::makeRoom(const MediumInfo& medium) {
    const backup::tarcopt& preset = run_->preset;
    if (!prepareSession(true))
        return false;
    const qint64 imageBlocks = services_.engine.imageBlocks();
    if (imageBlocks >= medium.totalBlocks) {
        presetLog(u"cdcantfitfiles");
        return false;
    }
    const bool tooFull = imageBlocks > medium.freeBlocks;
    if (!preset.cef && !preset.cer && tooFull) {
        presetError(text(u"cdnotenoughspace"));
        return false;
    }
    if (!eraseIfAsked(medium, preset.cef && tooFull))
        return false;
    if (eraseFailed_) {
        presetLog(u"cdskipped");
        return false;
    }
    // Without an erase a session larger than the free space can only fail.
    if (!erased_ && tooFull) {
        presetError(text(u"cdnotenoughspace"));
        return false;
    }
    if (!erased_)
        return true;
    const Readiness reloaded = reloadMedium();
    if (reloaded == Readiness::Aborted)
        return false;
    if (reloaded == Readiness::NotReady) {
        presetLog(u"cdnodiscindrive");
        return false;
    }
    // The disc is empty now: nothing to import.
    if (!prepareSession(false))
        return false;
    logMediumInfo();
    return true;
}

bool DiscStep::cycleTray() {
    if (run_->preset.cne)
        return pause(settings_.settle);
    services_.engine.ejectMedium();
    if (!pause(settings_.settle))
        return false;
    services_.engine.loadMedium();
    return true;
}

bool DiscStep::pause(std::chrono::milliseconds duration) {
    const auto rules = core::WaitRules().endAfter(duration).endingOnAbort(services_.flags);
    return core::waitProcessingEvents([] { return false; }, rules) != core::WaitEnd::Aborted;
}

DiscStep::Readiness DiscStep::waitUntilReady(int checks, std::chrono::milliseconds limit) {
    QElapsedTimer elapsed;
    elapsed.start();
    for (int check = 1;; ++check) {
        if (services_.flags.AbortRequested)
            return Readiness::Aborted;
        if (services_.engine.isUnitReady())
            return Readiness::Ready;
        const bool outOfChecks = checks > 0 && check >= checks;
        const bool outOfTime = limit.count() > 0 && elapsed.elapsed() >= limit.count();
        if (outOfChecks || outOfTime)
            return Readiness::NotReady;
        if (!pause(settings_.readyPoll))
            return Readiness::Aborted;
    }
}

DiscStep::Readiness DiscStep::reloadMedium() {
    if (!cycleTray())
        return Readiness::Aborted;
    const Readiness readiness = waitUntilReady(0, settings_.reloadLimit);
    if (readiness == Readiness::Ready && !pause(settings_.settle))
        return Readiness::Aborted;
    return readiness;
}

void DiscStep::logMediumInfo() {
    const MediumInfo medium = services_.engine.mediumInfo();
    services_.log.WritePresetLog(
        core::formatMessage(text(u"cdmediainfo"),
                            {megabytesText(medium.totalBlocks), megabytesText(medium.freeBlocks)}));
}

bool DiscStep::prepareSession(bool importLastSession) {
    DiscEngine& engine = services_.engine;
    engine.clearFiles();
    for (const QString& name : run_->RunFileList)
        engine.addFile(QStringLiteral("/"), run_->runFilePath(name));
    if ((importLastSession && !engine.importLastSession()) || !engine.prepareImage()) {
        engineError();
        return false;
    }
    return true;
}

void DiscStep::engineError() {
    presetError(text(u"cderror") + services_.engine.lastError());
}

void DiscStep::lockTray() {
    services_.engine.lockTray();
    trayLocked_ = true;
}

void DiscStep::unlockTray() {
    if (trayLocked_)
        services_.engine.unlockTray();
    trayLocked_ = false;
}

bool DiscStep::eraseIfAsked(const MediumInfo& medium, bool mustErase) {
    if (!medium.erasable) {
        presetLog(u"cdnotrw");
        return true;
    }
    if (!run_->preset.cer && !mustErase)
        return true;
    if (medium.sessions == 0) {
        presetLog(u"cdnoneedtoerase");
        return true;
    }
    if (mustErase)
        presetLog(u"cdmusterase");
    presetLog(u"cderasing");
    DiscEngine& engine = services_.engine;
    engine.clearFiles();
    lockTray();
    int bar = 0;
    int step = kBounceStep;
    const OperationEnd end =
        runOperation(engine.startErase(), settings_.eraseLimit, kBounceTick, [&] {
            if (bar + step > 100 || bar + step < 0)
                step = -step;
            bar += step;
            return bar;
        });
    showProgress(-1);
    if (end == OperationEnd::Aborted)
        return false;
    if (end == OperationEnd::Done && engineResult_) {
        services_.log.WritePresetLog(text(u"cderasecomplete") + QStringLiteral("OK."));
    } else {
        if (end == OperationEnd::Done)
            engineError();
        reportFailedOperation(end);
        presetLog(u"cderaseerror");
        eraseFailed_ = true;
    }
    erased_ = true;
    unlockTray();
    return true;
}

void DiscStep::reportFailedOperation(OperationEnd end) {
    if (end == OperationEnd::NotStarted)
        engineError();
    else if (end == OperationEnd::TimedOut)
        presetError(text(u"cdtimeout"));
}

DiscStep::OperationEnd DiscStep::runOperation(bool started, std::chrono::milliseconds limit,
                                              std::chrono::milliseconds tick,
                                              const std::function<int()>& percent) {
    if (!started)
        return OperationEnd::NotStarted;
    engineBusy_ = true;
    engineResult_ = false;
    showProgress(0);
    QElapsedTimer elapsed;
    elapsed.start();
    while (engineBusy_) {
        const auto rules = core::WaitRules().endAfter(tick).endingOnAbort(services_.flags);
        const core::WaitEnd end =
            core::waitProcessingEvents([this] { return !engineBusy_; }, rules);
        if (end == core::WaitEnd::Aborted) {
            stopOperation();
            return OperationEnd::Aborted;
        }
        if (end == core::WaitEnd::TimedOut) {
            if (elapsed.elapsed() >= limit.count()) {
                stopOperation();
                return OperationEnd::TimedOut;
            }
            showProgress(percent());
        }
    }
    return OperationEnd::Done;
}

void DiscStep::stopOperation() {
    // The engine may still be reading the run's files: wait until it has let go of
    // them before the run goes on to clean up.
    services_.engine.abortOperation();
    core::waitUntil([this] { return !engineBusy_; }, settings_.stopLimit);
    engineBusy_ = false;
    unlockTray();
    showProgress(-1);
}

bool DiscStep::writeAndVerify() {
    DiscEngine& engine = services_.engine;
    const backup::tarcopt& preset = run_->preset;
    lockTray();
    const MediumInfo medium = engine.mediumInfo();
    services_.log.WritePresetLog(text(u"cdburning") +
                                 burningSpeedText(medium.type, medium.currentWriteSpeed));
    const OperationEnd end =
        runOperation(engine.startWrite(), settings_.writeLimit, settings_.progressPoll, [&engine] {
            return progressPercent(engine.writtenBlocks(), engine.imageBlocks());
        });
    if (end == OperationEnd::Aborted)
        return false;
    unlockTray();
    const bool written = end == OperationEnd::Done && engineResult_;
    if (end == OperationEnd::Done && !written)
        engineError();
    reportFailedOperation(end);
    const Readiness reloaded = reloadMedium();
    if (reloaded == Readiness::Aborted)
        return false;
    showProgress(-1);
    if (!written) {
        services_.log.WritePresetLog(text(u"cdcomplete") + QStringLiteral("Error [!]"));
        return false;
    }
    services_.log.WritePresetLog(text(u"cdcomplete") + QStringLiteral("OK."));
    if (!preset.cdv) {
        recordDeliveries({});
        return true;
    }
    if (reloaded == Readiness::NotReady) {
        // Nothing verified, nothing recorded: the disc is not known to hold the files.
        presetLog(u"cdnodiscindrive");
        return false;
    }
    failedVerify_.clear();
    services_.log.WritePresetLog(text(u"cdverifying") + QStringLiteral("..."));
    const OperationEnd verified = runOperation(
        engine.startVerify(), settings_.verifyLimit, settings_.progressPoll,
        [&engine] { return progressPercent(engine.verifiedAmount(), engine.verifyTotal()); });
    showProgress(-1);
    if (verified == OperationEnd::Aborted)
        return false;
    if (verified != OperationEnd::Done) {
        reportFailedOperation(verified);
        return false;
    }
    recordDeliveries(failedVerify_);
    return true;
}

void DiscStep::onVerifyDone(bool failed, int index) {
    if (index < 0) {
        engineBusy_ = false;
        services_.log.WritePresetLog(
            failed ? QStringLiteral("CD - Verifying done, AT LEAST ONE FILE FAILED [!]")
                   : QStringLiteral("CD - Verifying done, all files are OK."));
        return;
    }
    if (!failed)
        return;
    failedVerify_.insert(index);
    services_.log.WritePresetLog(QStringLiteral("CD - VERIFY FAILED FOR ") +
                                 QFileInfo(services_.engine.verifiedFileName(index)).fileName() +
                                 QLatin1Char('.'));
}

void DiscStep::recordDeliveries(const QSet<int>& failedFiles) {
    backup::HistoryRecorder history(services_.store, services_.log, services_.messages);
    const QString address = run_->preset.cdr.trimmed();
    for (int i = 0; i < run_->RunFileList.size(); ++i) {
        if (failedFiles.contains(i))
            continue;
        const QString& name = run_->RunFileList[i];
        history.recordDelivery(run_->CurrentPresetName, backup::DeliveryKind::Disc,
                               address + QStringLiteral(":/") + name);
        run_->deliveredFiles.insert(name);
    }
}

} // namespace stowline::disc
