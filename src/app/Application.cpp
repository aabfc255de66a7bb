#include "app/Application.h"

#include "scheduler/CommandLine.h"
#include "shell/FileManagerVerbs.h"

#include <QCoreApplication>

namespace stowline::app {

Application::Application(core::ProgramServices services, platform::ProcessLauncher& launcher,
                         backup::RunIndicator& indicator, QStringList arguments, QSize screen)
    : services_(services), program_(services, std::move(arguments), screen),
      store_(program_.folders(), program_.messages(), services.clock, services.prompts),
      presets_(program_.folders(), program_.options(), program_.messages(), program_.log(),
               services.prompts),
      unavailable_(program_.log(), program_.messages()),
      discStep_(disc::DiscStepServices{program_.flags(), program_.messages(), program_.log(),
                                       services.prompts, store_, discEngine_}),
      dialupConnections_([] { return QDBusConnection::systemBus(); }),
      dialup_(net::DialupServices{program_.flags(), program_.options(), program_.messages(),
                                  program_.log(), services.prompts, dialupConnections_},
              discDeliveries_),
      deliveries_(net::DeliveryServices{program_.flags(), program_.folders(), program_.options(),
                                        program_.messages(), program_.log(), services.clock, store_,
                                        curl_},
                  dialup_),
      reports_(program_.flags(), program_.options(), program_.messages(), program_.log(),
               services.clock, curl_),
      run_(backup::RunServices{
          program_.flags(), program_.folders(), program_.options(), program_.messages(),
          program_.log(), services.clock, services.prompts, launcher, presets_, store_, deliveries_,
          indicator,
          [this](const QString& name, const QDateTime& start) { recordLastRun(name, start); }}),
      catalog_(presets_.model()),
      schedule_(program_.folders(), program_.log(), program_.messages(), catalog_),
      host_(program_, presets_.model(), run_, reports_),
      scheduleUpdates_(QString::fromLatin1(scheduler::kScheduleEventName)),
      scheduleAnnouncer_(QString::fromLatin1(scheduler::kScheduleEventName)),
      engine_(scheduler::SchedulerServices{schedule_, program_.flags(), program_.options(),
                                           program_.log(), program_.messages(), services.clock,
                                           host_, power_, launcher, scheduleUpdates_}),
      remote_(remote::RemoteServices{program_.flags(), program_.folders(), program_.options(),
                                     program_.messages(), program_.log(), services.clock, schedule_,
                                     presets_.model(), store_, power_}),
      watchers_(shell::WatcherServices{program_.folders(), program_.log(), program_.messages(),
                                       services.clock, schedule_}),
      bins_(shell::BinServices{program_.folders(), program_.options(), program_.messages(),
                               services.prompts, launcher}) {
    connectParts();
}

Application::~Application() {
    // The log outlives the mailer it would report through.
    program_.log().setErrorReportSender({});
}

void Application::connectParts() {
    run_.setSleepInhibitor(&sleepInhibitor_);
    remote_.site().setProgressSource([this] { return run_.progress().text(); });
    program_.log().setErrorReportSender(
        [this](const QString& line) { return reports_.SendErrorReport(line); });
    using backup::PresetList;
    QObject::connect(&presets_, &PresetList::listRebuilt, &presets_, [this] {
        schedule_.LoadLastRuns();
        schedule_.RefreshSchedule();
    });
    QObject::connect(&presets_, &PresetList::presetDeleted, &presets_,
                     [this](const QString& name) { schedule_.removeEntriesFor(name); });
    // Entries another instance handed over are looked at without waiting for the timer.
    QObject::connect(&scheduleUpdates_, &platform::LocalSocketEventListener::signalled, &engine_,
                     &scheduler::SchedulerEngine::tickSoon);
    // A connection the program still holds is hung up before it ends.
    QObject::connect(&program_, &core::Program::savingState, &dialup_, &net::Dialup::Disconnected);
    QObject::connect(&program_, &core::Program::savingState, &program_, [this] {
        engine_.stop();
        schedule_.SaveSchedule();
    });
}

void Application::recordLastRun(const QString& presetName, const QDateTime& start) {
    const int row = presets_.model().findPreset(presetName);
    if (row < 0)
        return;
    presets_.model().setLastRunText(row, backup::formatHistoryStamp(start));
    schedule_.SaveLastRuns();
}

bool Application::start(const std::function<void()>& openWindows) {
    if (!program_.start())
        return false;
    if (!program_.flags().SecondInstance && !scheduleUpdates_.listen())
        program_.log().WriteError(program_.messages().text(u"cannotlistenforschedule") +
                                  scheduleUpdates_.errorString());
    if (!program_.flags().SecondInstance)
        run_.ReportLeftRunFolders();
    if (!program_.flags().SecondInstance && program_.options().rae)
        remote_.start();
    schedule_.LoadSchedule();
    presets_.ScanPresets();
    if (openWindows && !program_.flags().SecondInstance)
        openWindows();
    const scheduler::CommandLineOutcome outcome = scheduler::CarryOutCommandLine(
        program_.arguments(), {schedule_, program_.flags(), program_.options(), program_.log(),
                               program_.messages(), services_.clock, host_, scheduleAnnouncer_});
    if (outcome == scheduler::CommandLineOutcome::KeepRunning) {
        engine_.start();
        if (!program_.flags().SecondInstance)
            startShell();
    }
    return true;
}

// First instance only: the file-manager verbs while the program runs, the channel their
// processes hand items over, and the folder watchers.
void Application::startShell() {
    const core::topt& options = program_.options();
    shell::RegisterBinVerbs(shell::userVerbFolders(), QCoreApplication::applicationFilePath(),
                            options.obk, options.obr);
    if (!binItems_.listen())
        program_.log().WriteError(program_.messages().text(u"cannotlistenforbinitems") +
                                  binItems_.errorString());
    QObject::connect(&binItems_, &shell::BinItemReceiver::itemReceived, &bins_,
                     &shell::BinArchives::QueueBinItem);
    watchers_.LoadWatcherTasks();
    watchers_.ApplyWatcherTasks();
    QObject::connect(&program_, &core::Program::savingState, &program_, [this] { endShell(); });
}

void Application::endShell() {
    watchers_.stopAll();
    // The verbs would start a program that is not there to take the items.
    shell::WithdrawBinVerbs(shell::userVerbFolders());
}

} // namespace stowline::app
