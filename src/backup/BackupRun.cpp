#include "backup/BackupRun.h"

#include "backup/ArchiverProgress.h"
#include "backup/LocalCopies.h"
#include "backup/PresetFields.h"
#include "backup/PresetFiles.h"
#include "backup/PresetList.h"
#include "backup/RunDeliveries.h"
#include "backup/RunFolderRecord.h"
#include "backup/WinRarCommandLine.h"
#include "core/Clock.h"
#include "core/EnvironmentText.h"
#include "core/EventLog.h"
#include "core/EventWait.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProcessWait.h"
#include "core/ProgramState.h"
#include "platform/PathText.h"
#include "platform/ProcessLauncher.h"
#include "platform/Prompts.h"
#include "platform/SleepInhibitor.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <algorithm>

namespace stowline::backup {

namespace {
constexpr int kRunFolderLetters = 8;
constexpr std::chrono::milliseconds kDeliveryWakeUp{100};
} // namespace

QString sizeText(qint64 bytes) {
    const QLocale locale;
    if (bytes < 1024)
        return QString::number(bytes) + QLatin1Char('b');
    if (bytes < 1048576)
        return locale.toString(qRound64(bytes / 1024.0)) + QLatin1Char('K');
    return locale.toString(bytes / 1048576.0, 'f', 1) + QLatin1Char('M');
}

BackupRun::BackupRun(RunServices services, QObject* parent)
    : QObject(parent), services_(std::move(services)),
      progress_(services_.clock, services_.messages) {
    Optimer.setSingleShot(true);
    connect(&Optimer, &QTimer::timeout, this, &BackupRun::operationTimedOut);
}

bool BackupRun::isRunFolderName(const QString& name) {
    return name.size() == kRunFolderLetters &&
           std::all_of(name.begin(), name.end(), [](QChar c) { return c >= u'A' && c <= u'Z'; });
}

QString BackupRun::drawRunFolderName() const {
    QString name;
    for (int i = 0; i < kRunFolderLetters; ++i)
        name += QChar(u'A' + QRandomGenerator::global()->bounded(26));
    return name;
}

void BackupRun::operationTimedOut() {
    services_.deliveries.abortClients();
    services_.log.WritePresetError(services_.messages.text(u"operationtimeout"));
    services_.flags.AbortRequested = true;
}

void BackupRun::RunPreset() {
    if (!QFileInfo(services_.options.pwi).isFile()) {
        services_.log.WriteError(services_.messages.text(u"winrarnotfound"));
        return;
    }
    const QString name = services_.presets.model().selectedPreset();
    if (name.isEmpty())
        return;
    run_ = RunState();
    run_.CurrentPresetName = name;
    run_.Optimer = &Optimer;
    run_.progress = &progress_;
    progress_.reset();
    // However the run ends, there is no progress to show any more.
    const auto runOver = qScopeGuard([this] { progress_.finishRun(); });
    services_.log.setCurrentPresetName(name);
    if (services_.recordLastRun)
        services_.recordLastRun(name, services_.clock.now());

    if (!loadPreset())
        return;
    // From here on every way out of the run ends the operation.
    const core::OperationScope operation(services_.flags);
    const bool sleepHeld = holdOffSleep();
    const auto letSleep = qScopeGuard([&] {
        if (sleepHeld)
            sleepInhibitor_->release();
    });
    if (!prepareTarget() || !archive())
        return;
    if (run_.preset.dra) {
        // The archiver writes straight into the destination and keeps running alone.
        if (runProgramAround(programAfter(run_.preset)) == ProgramResult::Done)
            services_.indicator.showIdle();
        return;
    }
    deliver();
}

bool BackupRun::holdOffSleep() {
    if (!sleepInhibitor_)
        return false;
    if (sleepInhibitor_->inhibit(core::formatMessage(services_.messages.text(u"sleepheldoffwhy"),
                                                     {run_.CurrentPresetName})))
        return true;
    if (!sleepFailureLogged_)
        services_.log.WriteLog(core::formatMessage(services_.messages.text(u"sleepnotheldoff"),
                                                   {sleepInhibitor_->errorString()}));
    sleepFailureLogged_ = true;
    return false;
}

bool BackupRun::loadPreset() {
    SetPresetDefaults(run_.preset);
    services_.store.LoadPreset(run_.CurrentPresetName, run_.preset);
    const tarcopt& preset = run_.preset;
    run_.expandedDestination = core::ExpandEnvironmentText(preset.dir);

    if (!preset.ctf && !preset.cdw && !preset.ftp && !preset.smt) {
        services_.log.WritePresetError(services_.messages.text(u"notasksforpreset"));
        return false;
    }
    run_.archiveName = core::ExpandEnvironmentText(preset.nam);
    if (!isPlainArchiveName(run_.archiveName)) {
        services_.log.WritePresetError(core::formatMessage(
            services_.messages.text(u"archivenamenotplain"), {run_.archiveName}));
        return false;
    }
    const bool folderTaskOnly =
        preset.ctf && !preset.dra && !preset.cdw && !preset.ftp && !preset.smt;
    if (folderTaskOnly && !QDir().mkpath(run_.expandedDestination)) {
        services_.log.WritePresetError(services_.messages.text(u"cantcreatedestfolder"));
        return false;
    }
    return true;
}

bool BackupRun::prepareTarget() {
    const tarcopt& preset = run_.preset;
    const QString switches = BuildWinRarSwitches(preset, run_.CurrentPresetName, services_.folders);
    run_.FtpBusy = false;
    run_.SmtpBusy = false;

    QString target = run_.expandedDestination;
    if (!preset.dra) {
        services_.options.pte = platform::withoutTrailingSeparator(services_.options.pte);
        run_.runFolder = services_.options.pte + QLatin1Char('/') + drawRunFolderName();
        if (!QDir().mkpath(run_.runFolder)) {
            services_.log.WritePresetError(services_.messages.text(u"cantcreatetempfolder"));
            return false;
        }
        runFolderRecord().add(run_.runFolder);
        target = run_.runFolder;
    }
    parameters_ = BuildWinRarParameters(switches, run_.CurrentPresetName, target, run_.archiveName,
                                        services_.folders);
    if (preset.dra && preset.ctf && !QDir().mkpath(run_.expandedDestination)) {
        services_.log.WritePresetError(services_.messages.text(u"cantcreatedestfolder"));
        return false;
    }
    return true;
}

bool BackupRun::archive() {
    const tarcopt& preset = run_.preset;
    services_.flags.AbortRequested = false;
    Optimer.stop();
    if (services_.options.twr != 0)
        Optimer.start(services_.options.twr * 60000);
    run_.RunFileList.clear();
    services_.indicator.showRunning();

    if (runProgramAround(programBefore(preset)) != ProgramResult::Done)
        return false;

    if (QFileInfo::exists(services_.folders.inData(QStringLiteral("debug.flg"))))
        services_.prompts.showMessage(QLatin1Char('\n') + parameters_);

    const auto archiverNotStarted = [this] {
        services_.log.WriteError(services_.messages.text(u"errorrunningwinrar"));
        return false;
    };
    if (preset.dra) {
        // In direct archiving the archiver writes into the destination on its own: it must
        // outlive this run and the program, so it is never a child this run could end.
        if (!services_.launcher.startDetached(services_.options.pwi, parameters_, preset.hid))
            return archiverNotStarted();
        services_.log.WritePresetLog(services_.messages.text(u"directraringstarted"));
        return true;
    }
    progress_.begin(RunProgress::Phase::Archiving);
    ArchiverProgress follower(progress_, run_.runFolder);
    const platform::PassedDescriptor pipe = follower.descriptorForArchiver();
    std::unique_ptr<platform::RunningProcess> archiver =
        pipe.fd >= 0
            ? services_.launcher.startPassing(services_.options.pwi, parameters_, preset.hid, pipe)
            : services_.launcher.start(services_.options.pwi, parameters_, preset.hid);
    if (!archiver)
        return archiverNotStarted();
    follower.archiverStarted();
    services_.log.WritePresetLog(services_.messages.text(u"winrarstarted"));

    if (core::waitForProgram(*archiver, services_.flags) != core::WaitOutcome::Finished) {
        archiver->terminate();
        endAborted();
        return false;
    }
    follower.archiverFinished();
    progress_.end(RunProgress::Phase::Archiving);
    const int exitCode = archiver->exitCode();
    if (exitCode == 255) {
        services_.log.WritePresetError(services_.messages.text(u"winrarcanceledbyuser"));
    } else if (exitCode == 1 && services_.options.cie) {
        services_.log.WritePresetLog(services_.messages.text(u"winrarwarning"));
    } else if (exitCode != 0) {
        services_.log.WritePresetError(core::formatMessage(services_.messages.text(u"winrarerror"),
                                                           {QString::number(exitCode)}));
        cleanUp();
        return false;
    }
    Optimer.stop();
    reportArchives();
    return true;
}

void BackupRun::reportArchives() {
    qint64 total = 0;
    const QFileInfoList files =
        QDir(run_.runFolder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& file : files) {
        run_.RunFileList << file.fileName();
        total += file.size();
    }
    run_.archivesMade = true;
    const int count = static_cast<int>(run_.RunFileList.size());
    services_.log.WritePresetLog(core::formatMessage(
        services_.messages.text(count < 2 ? u"winrardonefile" : u"winrardonefiles"),
        {QString::number(count), sizeText(total)}));
}

void BackupRun::deliver() {
    const tarcopt& preset = run_.preset;
    if (preset.cdw) {
        progress_.begin(RunProgress::Phase::Disc);
        services_.deliveries.burnDisc(run_);
        progress_.end(RunProgress::Phase::Disc);
    }
    if (services_.flags.AbortRequested) {
        endAborted();
        return;
    }
    if (services_.options.des && (preset.smt || preset.ftp)) {
        services_.deliveries.dialUp(run_);
        // The step has logged the request and hung up what it was dialling.
        if (services_.flags.AbortRequested) {
            cleanUp();
            services_.log.WriteError(services_.messages.text(u"aborted"));
            return;
        }
    }
    if (preset.smt)
        services_.deliveries.startEmailDelivery(run_);
    if (preset.ftp)
        services_.deliveries.startFtpDelivery(run_);

    // Deliveries report through events.
    const bool busyPolling = services_.options.cms;
    core::waitProcessingEvents([this] { return !run_.FtpBusy && !run_.SmtpBusy; },
                               core::WaitRules()
                                   .wakeUpEvery(kDeliveryWakeUp)
                                   .pausingEachTurn(!busyPolling)
                                   .endingOnAbort(services_.flags));
    Optimer.stop();
    if (services_.flags.AbortRequested) {
        services_.deliveries.abortDeliveries(run_);
        cleanUp();
        services_.log.WriteError(services_.messages.text(u"aborted"));
        return;
    }
    // A connection that was up before the run is never hung up.
    if (services_.options.des && services_.options.dha && run_.DialConnectionOk && run_.DialedByUs)
        services_.deliveries.hangUp(run_);

    if (preset.ctf) {
        LocalCopies copies(services_, run_, [this] { cleanUp(); });
        if (!copies.CopyStep())
            return;
    }
    finish();
}

void BackupRun::finish() {
    if (runProgramAround(programAfter(run_.preset)) != ProgramResult::Done)
        return;
    cleanUp();
    services_.log.WritePresetLog(services_.messages.text(u"doneword"));
}

BackupRun::ProgramResult BackupRun::runProgramAround(const ProgramAroundRun& program) {
    if (!program.enabled || program.file.isEmpty())
        return ProgramResult::Done;
    // "Sync" starts the program and goes on at once; the clear setting waits for it.
    services_.log.WritePresetLog(
        services_.messages.text(program.startOnly ? u"syncexecution" : u"asyncexecution") +
        QLatin1Char(' ') + program.file);
    const QString file = core::ExpandEnvironmentText(program.file);
    if (program.startOnly) {
        // The program goes on by itself; it is no longer ours to wait for or to end.
        if (services_.launcher.startDetached(file, program.parameters, program.hidden))
            return ProgramResult::Done;
        return failedToStartProgram();
    }
    std::unique_ptr<platform::RunningProcess> running =
        services_.launcher.start(file, program.parameters, program.hidden);
    if (!running)
        return failedToStartProgram();
    if (core::waitForProgram(*running, services_.flags) != core::WaitOutcome::Finished) {
        running->terminate();
        endAborted();
        return ProgramResult::Aborted;
    }
    return ProgramResult::Done;
}

BackupRun::ProgramResult BackupRun::failedToStartProgram() {
    services_.log.WriteError(services_.messages.text(u"cannotexecuteexternal"));
    return ProgramResult::Failed;
}

void BackupRun::endAborted() {
    services_.log.WriteLog(services_.messages.text(u"abortrequested"));
    cleanUp();
    services_.log.WriteError(services_.messages.text(u"aborted"));
}

RunFolderRecord BackupRun::runFolderRecord() const {
    return RunFolderRecord(services_.folders.inData(QStringLiteral("swl.rfl")));
}

void BackupRun::ReportLeftRunFolders() {
    for (const QString& path : runFolderRecord().takeAll()) {
        QDir folder(path);
        // Only a folder of the run folders' shape is touched, whatever the list says.
        if (!isRunFolderName(folder.dirName()) || !folder.exists())
            continue;
        if (QDirIterator(path, QDir::Files | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories)
                .hasNext()) {
            services_.log.WriteError(
                core::formatMessage(services_.messages.text(u"runfolderleftbehind"), {path}));
        } else {
            folder.removeRecursively();
        }
    }
}

void BackupRun::cleanUp() {
    RemoveRunFolder();
    services_.indicator.showIdle();
}

void BackupRun::RemoveRunFolder() {
    const QString cantDelete = services_.messages.text(u"cantdeltempfile");
    QDir folder(run_.runFolder);
    bool keptAny = false;
    if (!run_.runFolder.isEmpty() && folder.exists()) {
        for (const QFileInfo& file :
             folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
            // An archive that reached no destination is never deleted.
            if (run_.archivesMade && run_.RunFileList.contains(file.fileName()) &&
                !run_.deliveredFiles.contains(file.fileName())) {
                services_.log.WritePresetError(services_.messages.text(u"undeliveredarchivekept") +
                                               file.filePath());
                keptAny = true;
                continue;
            }
            if (!QFile::remove(file.filePath()))
                services_.log.WritePresetError(cantDelete);
        }
        // Folders are work folders the archiver left behind when it was stopped.
        for (const QFileInfo& sub :
             folder.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
            if (!QDir(sub.filePath()).removeRecursively())
                services_.log.WritePresetError(cantDelete);
        if (!keptAny && !folder.rmdir(run_.runFolder))
            services_.log.WritePresetError(cantDelete);
    }
    if (!run_.runFolder.isEmpty())
        runFolderRecord().remove(run_.runFolder);
}

} // namespace stowline::backup
