#pragma once

#include "TestFolders.h"

#include "backup/BackupRun.h"
#include "backup/PresetFields.h"
#include "backup/PresetFiles.h"
#include "backup/PresetList.h"
#include "backup/RunDeliveries.h"
#include "backup/RunState.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/TextFiles.h"
#include "platform/fakes/RecordingPrompts.h"
#include "platform/fakes/RecordingSoundPlayer.h"
#include "platform/linux/QProcessLauncher.h"

#include <QFile>

namespace stowline::backup::testing {

// Delivery steps that only record that they were asked for.
class RecordingDeliveries final : public RunDeliveries {
public:
    void burnDisc(RunState&) override { calls << QStringLiteral("disc"); }
    void dialUp(RunState&) override { calls << QStringLiteral("dial"); }
    void startEmailDelivery(RunState&) override { calls << QStringLiteral("mail"); }
    void startFtpDelivery(RunState&) override { calls << QStringLiteral("ftp"); }
    void abortClients() override { calls << QStringLiteral("abort clients"); }
    void abortDeliveries(RunState&) override { calls << QStringLiteral("abort deliveries"); }
    void hangUp(RunState&) override { calls << QStringLiteral("hang up"); }
    QStringList calls;
};

class RecordingIndicator final : public RunIndicator {
public:
    void showRunning() override { running = true; }
    void showIdle() override { running = false; }
    bool running = false;
};

// Everything a backup run needs, on temporary folders, with a real process launcher.
struct RunFixture {
    RunFixture() {
        core::SetOptionDefaults(options, {folders.program, folders.data, QSize()});
        options.pte = root().filePath(QStringLiteral("tmp"));
        options.soe = false;
        QDir().mkpath(options.pte);
    }

    QTemporaryDir& root() { return tree.root; }
    QString destination() { return root().filePath(QStringLiteral("dest")); }

    // A preset with the folder task into destination(), saved and selected.
    tarcopt& addPreset(const QString& name, const QStringList& include = {QStringLiteral("/nothing")}) {
        SetPresetDefaults(preset);
        preset.nam = QStringLiteral("backup");
        preset.dtf.clear();
        preset.vol = QStringLiteral("None");
        preset.ctf = true;
        preset.dir = destination();
        presetName = name;
        includeLines = include;
        return preset;
    }

    void savePreset() {
        EXPECT_TRUE(store.SavePreset(presetName, preset, includeLines, {}, {}, {}));
        list.ScanPresets();
        list.model().select(presetName);
    }

    // An archiver stand-in: writes one file per run next to the archive path it is
    // given (numbered, so every run makes a new name), sleeps, and exits with a code.
    // Like an archiver stopped hard, it leaves a hidden work folder in the run folder.
    void useFakeArchiver(int exitCode, int sleepSeconds = 0, int bytes = 2048) {
        const QString script = root().filePath(QStringLiteral("fake-archiver"));
        const QString counter = root().filePath(QStringLiteral("runs"));
        writeBytes(script, QStringLiteral(
            "#!/bin/sh\n"
            "for arg; do case \"$arg\" in a|-*|@*) ;; *) archive=\"$arg\";; esac; done\n"
            "n=$(cat '%1' 2>/dev/null || echo 0); n=$((n+1)); echo $n > '%1'\n"
            "mkdir \"$(dirname \"$archive\")/.work\"; sleep %2\n"
            "head -c %3 /dev/zero > \"$archive-$n.zip\"\n"
            "exit %4\n").arg(counter).arg(sleepSeconds).arg(bytes).arg(exitCode).toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        options.pwi = script;
    }

    // Log lines without their time stamps.
    QStringList logMessages() {
        QStringList messages;
        for (const QString& line : log.model().lines())
            messages << line.mid(line.indexOf(QLatin1String("] ")) + 2);
        return messages;
    }

    QStringList destinationFiles() { return QDir(destination()).entryList(QDir::Files, QDir::Name); }
    QStringList leftInTemp() {
        return QDir(options.pte).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    TestFolders tree;
    core::Folders& folders = tree.folders;
    core::ProgramFlags flags;
    core::topt options;
    core::MessageTable messages;
    core::ManualClock clock{QDateTime(QDate(2016, 3, 3), QTime(9, 5, 7))};
    platform::RecordingSoundPlayer sound;
    platform::RecordingPrompts prompts;
    platform::QProcessLauncher launcher;
    core::EventLog log{folders, flags, options, messages, clock, sound};
    PresetStore store{folders, messages, clock, prompts};
    PresetList list{folders, options, messages, log, prompts};
    RecordingDeliveries deliveries;
    RecordingIndicator indicator;
    QStringList lastRuns;
    BackupRun run{RunServices{flags, folders, options, messages, log, clock, prompts, launcher, list,
                              store, deliveries, indicator,
                              [this](const QString& name, const QDateTime&) { lastRuns << name; }}};
    tarcopt preset;
    QString presetName;
    QStringList includeLines;
};

} // namespace stowline::backup::testing
