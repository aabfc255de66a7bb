#include "backup/LocalCopies.h"

#include "backup/BackupRun.h"
#include "backup/FileMove.h"
#include "backup/HistoryRecorder.h"
#include "backup/OldDeliveries.h"
#include "backup/PresetFiles.h"
#include "backup/RunProgress.h"
#include "core/Clock.h"
#include "core/EnvironmentText.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/ProgramState.h"
#include "core/WildcardMatch.h"
#include "platform/Prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace stowline::backup {

namespace {

// Destinations on the diskette drives A: and B: get a prompt before every file.
bool isDisketteDrive(const QString& destination) {
    const QString drive = destination.left(1).toUpper();
    return drive == QLatin1String("A") || drive == QLatin1String("B");
}
} // namespace

LocalCopies::LocalCopies(RunServices& services, RunState& run,
                         std::function<void()> removeRunFolder)
    : services_(services), run_(run), removeRunFolder_(std::move(removeRunFolder)) {}

bool LocalCopies::CopyStep() {
    QCoreApplication::processEvents();
    if (run_.RunFileList.isEmpty()) {
        services_.log.WritePresetError(services_.messages.text(u"nofilestoprecess"));
        return true;
    }
    const tarcopt& preset = run_.preset;
    if (preset.cco) {
        const int count = preset.ccm == 0 ? preset.ccv : 0;
        const int days = preset.ccm == 0 ? 0 : preset.ccv;
        DeleteOldCopies(SelectOldDeliveries(services_.folders.presets, run_.CurrentPresetName,
                                            count, days, CleanerHistory::Copy,
                                            services_.clock.now()));
    }
    QStringList copiedNames;
    const bool runGoesOn = copyFiles(copiedNames);
    // Names of earlier successful moves are kept even when a later move failed, so the
    // cleaner can still find those copies.
    if (!copiedNames.isEmpty())
        histories().recordForCleaner(run_.CurrentPresetName, copiedNames, CleanerHistory::Copy);
    return runGoesOn;
}

bool LocalCopies::copyFiles(QStringList& copiedNames) {
    QList<qint64> sizes;
    totalBytes_ = 0;
    for (const QString& name : std::as_const(run_.RunFileList)) {
        sizes << QFileInfo(run_.runFilePath(name)).size();
        totalBytes_ += sizes.last();
    }
    if (run_.progress)
        run_.progress->begin(RunProgress::Phase::Copy, totalBytes_);
    qint64 done = 0;
    bool firstFile = true;
    for (qsizetype index = 0; index < run_.RunFileList.size(); ++index) {
        const QString& name = run_.RunFileList.at(index);
        if (services_.flags.AbortRequested) {
            endAborted();
            return false;
        }
        if (run_.preset.edc && isDisketteDrive(run_.expandedDestination))
            services_.prompts.showMessage(QLatin1Char('\n') +
                                          services_.messages.text(u"insertnextdisk"));
        if (!QDir().mkpath(run_.expandedDestination)) {
            services_.log.WritePresetError(services_.messages.text(u"cantcreatedestfolder"));
            removeRunFolder_();
            return false;
        }
        if (run_.preset.efl && !run_.preset.ems.isEmpty() && (run_.preset.edc || firstFile))
            emptyDestination();
        if (moveOneFile(name, done))
            copiedNames << name;
        done += sizes.at(index);
        reportCopied(done);
        firstFile = false;
    }
    if (run_.progress)
        run_.progress->end(RunProgress::Phase::Copy);
    return true;
}

void LocalCopies::reportCopied(qint64 done) {
    if (!run_.progress)
        return;
    run_.progress->update(RunProgress::Phase::Copy, done, totalBytes_);
    // The copy runs on this thread: the views repaint only if events get their turn. User
    // input waits until the copy is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool LocalCopies::moveOneFile(const QString& name, qint64 doneBefore) {
    const QString target = run_.expandedDestination + QLatin1Char('/') + name;
    if (QFileInfo::exists(target)) {
        if (run_.preset.owe) {
            services_.log.WritePresetLog(
                core::formatMessage(services_.messages.text(u"fileexistsdelete"), {name}));
            QFile::remove(target);
        } else {
            services_.log.WritePresetError(
                core::formatMessage(services_.messages.text(u"nopermissiondelete"), {name}));
        }
    }
    QString reason;
    const auto copied = [this, doneBefore](qint64 bytes) { reportCopied(doneBefore + bytes); };
    if (!moveFile(run_.runFilePath(name), target, &reason, copied)) {
        services_.log.WritePresetError(
            core::formatMessage(services_.messages.text(u"cannotwrite"), {name}));
        return false;
    }
    run_.deliveredFiles.insert(name);
    services_.log.WritePresetLog(services_.messages.text(u"successfullycopied") + QLatin1Char(' ') +
                                 name + QLatin1Char('.'));
    histories().recordDelivery(run_.CurrentPresetName, DeliveryKind::Copy, target);
    return true;
}

void LocalCopies::emptyDestination() {
    const QString& mask = run_.preset.ems;
    services_.log.WritePresetLog(services_.messages.text(u"emptyingfolder") + mask +
                                 QStringLiteral(")."));
    // The archiver's own mask rule, so that "*.*" also takes names without a dot.
    const QByteArray maskBytes = mask.toUtf8();
    const QFileInfoList files =
        QDir(run_.expandedDestination).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : files)
        if (core::wildcardMatch(maskBytes.toStdString(), entry.fileName().toUtf8().toStdString()))
            QFile::remove(entry.filePath());
}

void LocalCopies::DeleteOldCopies(const QStringList& cleanerList) {
    if (cleanerList.isEmpty())
        return;
    QString folder = core::ExpandEnvironmentText(run_.preset.dir);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    for (const QString& name : cleanerList) {
        const QString path = folder + name;
        if (!QFileInfo::exists(path)) {
            services_.log.WritePresetLog(services_.messages.text(u"copycleanernofile") + path +
                                         QLatin1Char('.'));
        } else if (QFile::remove(path)) {
            services_.log.WritePresetLog(services_.messages.text(u"copycleanerdeleted") + path +
                                         QLatin1Char('.'));
        } else {
            services_.log.WritePresetError(services_.messages.text(u"copycleanercannotdelete") +
                                           path + QLatin1Char('.'));
        }
    }
}

HistoryRecorder LocalCopies::histories() const {
    return HistoryRecorder(services_.store, services_.log, services_.messages);
}

void LocalCopies::endAborted() {
    services_.log.WriteLog(services_.messages.text(u"abortrequested"));
    removeRunFolder_();
    services_.log.WriteError(services_.messages.text(u"aborted"));
}

} // namespace stowline::backup
