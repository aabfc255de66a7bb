#include "shell/BinArchives.h"

#include "core/EventWait.h"
#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/CommandLineSplit.h"
#include "platform/ProcessLauncher.h"
#include "platform/Prompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace stowline::shell {

namespace {

QString quoted(const QString& argument) {
    return QLatin1Char(' ') + platform::QuoteCommandLineArgument(argument);
}

QString binName(BinKind kind) {
    return kind == BinKind::Keeper ? QStringLiteral("keeper") : QStringLiteral("recycle");
}

QString listFileName(BinKind kind) {
    return kind == BinKind::Keeper ? QStringLiteral("swlbin-k.txt")
                                   : QStringLiteral("swlbin-r.txt");
}

} // namespace

QString binArchivePath(const core::topt& options, BinKind kind) {
    return options.obf + QLatin1Char('/') + binName(kind) + QLatin1String(".rar");
}

bool isRarArchiver(const QString& archiver) {
    return QFileInfo(archiver).baseName().endsWith(QLatin1String("rar"), Qt::CaseInsensitive);
}

QString binArchiveParameters(BinKind kind, const core::topt& options, const QString& listFile) {
    const bool recycle = kind == BinKind::Recycle;
    QString parameters = recycle ? QStringLiteral("a -df -ep3 -m") : QStringLiteral("a -ep3 -m");
    parameters += QString::number(options.obc);
    parameters += QLatin1String(" -ibck -dh -r  -cfg-");
    // Files are only deleted once the archive holding them tested good.
    if (recycle)
        parameters += QLatin1String(" -t");
    const QString& password = recycle ? options.obp : options.okp;
    if (!password.isEmpty())
        parameters += quoted(QLatin1String("-hp") + password);
    else if (isRarArchiver(options.pwi))
        parameters += QLatin1String(" -p-");
    if (options.obv != 0)
        parameters += QLatin1String(" -ver") + QString::number(options.obv);
    parameters += quoted(binArchivePath(options, kind));
    parameters += quoted(QLatin1Char('@') + listFile);
    return parameters;
}

QString binCleanParameters(BinKind kind, const core::topt& options, int days) {
    return QStringLiteral("d -to%1d").arg(days) + quoted(binArchivePath(options, kind)) +
           QLatin1String(" *.*");
}

std::optional<BinKind> shownBinWindow(int obt, bool keeperOn, bool recycleOn) {
    if (obt == 1 && keeperOn)
        return BinKind::Keeper;
    if (obt == 2 && recycleOn)
        return BinKind::Recycle;
    return std::nullopt;
}

BinArchives::BinArchives(BinServices services, QObject* parent)
    : QObject(parent), services_(services) {
    for (Bin* each : {&keeper_, &recycle_}) {
        each->timer.setSingleShot(true);
        each->timer.setInterval(kCollectionDelayMs);
        connect(&each->timer, &QTimer::timeout, this, [this, each] { collectionEnded(*each); });
    }
}

BinArchives::~BinArchives() {
    for (Bin* each : {&keeper_, &recycle_}) {
        if (each->process && !each->listFile.isEmpty())
            QFile::remove(each->listFile);
    }
}

void BinArchives::setCollectionDelay(int milliseconds) {
    keeper_.timer.setInterval(milliseconds);
    recycle_.timer.setInterval(milliseconds);
}

void BinArchives::QueueBinItem(const QString& text) {
    if (text.startsWith(QLatin1Char('K')))
        addItem(BinKind::Keeper, text.mid(1));
    else if (text.startsWith(QLatin1Char('R')))
        addItem(BinKind::Recycle, text.mid(1));
}

void BinArchives::addItem(BinKind kind, const QString& path) {
    if (path.isEmpty())
        return;
    Bin& target = bin(kind);
    target.queue << path;
    target.timer.start();
}

void BinArchives::collectionEnded(Bin& target) {
    // A call still running, or the recycle question still open: the items wait for the
    // next turn of the timer.
    if (target.process || target.listBusy) {
        target.timer.start();
        return;
    }
    if (target.queue.isEmpty())
        return;
    // The items asked about are taken out of the queue first; whatever arrives while the
    // question is open waits for a call of its own.
    const QStringList items = std::exchange(target.queue, {});
    if (target.kind == BinKind::Recycle) {
        target.listBusy = true;
        const bool yes = services_.prompts.askYesNo(
            QLatin1Char('\n') + core::formatMessage(services_.messages.text(u"recycleconfirm"),
                                                    {QString::number(items.size())}));
        target.listBusy = false;
        if (!yes) {
            if (!target.queue.isEmpty())
                target.timer.start();
            return;
        }
    }
    startArchiver(target, items);
}

void BinArchives::startArchiver(Bin& target, const QStringList& items) {
    target.listFile = services_.folders.inData(listFileName(target.kind));
    QString error;
    if (!core::writeTextLinesAtomically(target.listFile, items, &error)) {
        reportProblem(target.listFile + QLatin1String(": ") + error);
        emit archived(target.kind, false);
        return;
    }
    QDir().mkpath(services_.options.obf);
    target.process = services_.launcher.start(
        services_.options.pwi,
        binArchiveParameters(target.kind, services_.options, target.listFile), true, &error);
    if (!target.process) {
        QFile::remove(target.listFile);
        reportProblem(services_.options.pwi + QLatin1String(": ") + error);
        emit archived(target.kind, false);
        return;
    }
    connect(target.process.get(), &platform::RunningProcess::finished, this,
            [this, &target] { archiverEnded(target); });
    // A program that ended before the connection was made.
    if (target.process->hasFinished())
        archiverEnded(target);
}

void BinArchives::archiverEnded(Bin& target) {
    if (!target.process)
        return;
    const int exitCode = target.process->exitCode();
    // Deleted later: this runs inside the process's own signal.
    target.process.release()->deleteLater();
    QFile::remove(target.listFile);
    const bool ok = exitCode == 0;
    if (!ok)
        reportProblem(QString());
    else if (services_.options.obn)
        services_.prompts.showMessage(QLatin1Char('\n') + services_.messages.text(u"doneword"));
    emit archived(target.kind, ok);
    if (!target.queue.isEmpty() && !target.timer.isActive())
        target.timer.start();
}

void BinArchives::reportProblem(const QString& detail) {
    QString text = QLatin1Char('\n') + services_.messages.text(u"swlbinproblem");
    if (!detail.isEmpty())
        text += QLatin1String("\n\n") + detail;
    services_.prompts.showError(text);
}

QString BinArchives::cleanOlderThan(bool recycle, int days) {
    const BinKind kind = recycle ? BinKind::Recycle : BinKind::Keeper;
    if (!QFile::exists(binArchivePath(services_.options, kind)))
        return QString();
    QString error;
    std::unique_ptr<platform::RunningProcess> process = services_.launcher.start(
        services_.options.pwi, binCleanParameters(kind, services_.options, days), true, &error);
    if (!process)
        return services_.options.pwi + QLatin1String(": ") + error;
    core::waitProcessingEvents([&process] { return process->hasFinished(); },
                               core::WaitRules().wakeUpEvery(std::chrono::milliseconds(500)));
    if (process->exitCode() != 0)
        return services_.messages.text(u"swlbinproblem") +
               QStringLiteral(" (%1)").arg(process->exitCode());
    return QString();
}

} // namespace stowline::shell
