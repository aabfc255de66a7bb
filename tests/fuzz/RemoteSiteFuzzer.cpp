// Whole requests to the remote-control site as they arrive from the network, after a
// login that succeeds: the path and query of every page, the URL-encoded forms of
// /cgi-bin/logsetup and /cgi-bin/command, and the commands those forms carry out
// (schedule requests, /ABORT, /FORCEREBOOT against a recording power implementation).
#include "FuzzSupport.h"

#include "backup/PresetFiles.h"
#include "backup/PresetListModel.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "net/remote/RemoteSite.h"
#include "platform/HeadlessPrompts.h"
#include "platform/fakes/RecordingPowerActions.h"
#include "platform/fakes/RecordingSoundPlayer.h"
#include "protocols/HttpServer.h"
#include "scheduler/PresetCatalog.h"
#include "scheduler/Schedule.h"

#include <QSize>

namespace {

using namespace stowline;

class FixedPresetCatalog final : public scheduler::PresetCatalog {
public:
    QStringList presetNames() const override {
        return {QStringLiteral("Docs"), QStringLiteral("Mail & <Co>")};
    }
    void setNextRunText(int, const QString&) override {}
    QString lastRunText(int) const override { return {}; }
    void setLastRunText(int, const QString&) override {}
};

// One program's worth of state, kept for the whole fuzzing process like the program
// keeps it for its lifetime; `forgetGrowth` empties what requests add to.
struct Program {
    Program() {
        folders.program = folders.data = fuzz::scratchFolder();
        folders.presets = fuzz::scratchFolder() + QStringLiteral("/presets");
        core::SetOptionDefaults(options, {folders.program, folders.data, QSize()});
        options.rlo = QStringLiteral("admin");
        options.rpa = QStringLiteral("s3cret");
        presets.replaceEntries(
            {{QStringLiteral("Docs"), {}, {}, {}}, {QStringLiteral("Mail & <Co>"), {}, {}, {}}});
    }

    void forgetGrowth() {
        while (!schedule.entries().isEmpty())
            schedule.removeAt(0);
        fuzz::forgetEventLog(log, folders);
        flags.AbortRequested = false;
        power.requests.clear();
    }

    core::Folders folders;
    core::ProgramFlags flags;
    core::topt options;
    const core::MessageTable messages;
    const core::ManualClock clock{QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))};
    platform::RecordingSoundPlayer sound;
    core::EventLog log{folders, flags, options, messages, clock, sound};
    FixedPresetCatalog catalog;
    scheduler::Schedule schedule{folders, log, messages, catalog};
    backup::PresetListModel presets;
    platform::HeadlessPrompts prompts;
    backup::PresetStore store{folders, messages, clock, prompts};
    platform::RecordingPowerActions power;
    remote::RemoteSite site{remote::RemoteServices{flags, folders, options, messages, log, clock,
                                                   schedule, presets, store, power}};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Program program;
    static unsigned runs = 0;
    if (++runs % 1024 == 0)
        program.forgetGrowth();

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype end = protocols::headEnd(bytes);
    if (end < 0)
        return 0;
    protocols::ParsedHead parsed = protocols::parseHead(QByteArrayView(bytes).first(end));
    if (parsed.errorStatus != 0)
        return 0;
    protocols::HttpRequest& request = parsed.request;
    // The login succeeds, so every input reaches the pages and forms behind it.
    request.headers.prepend({"Authorization", "Basic " + QByteArray("admin:s3cret").toBase64()});
    request.clientAddress = QStringLiteral("127.0.0.1");
    request.body = bytes.mid(end);
    const protocols::HttpReply reply = program.site.handle(request);
    if (reply.afterSent)
        reply.afterSent();
    return 0;
}
