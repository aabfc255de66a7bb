#pragma once

#include "LogMessages.h"
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

// What the archiver stand-in makes in one run: files of random bytes.
struct FakeArchives {
    int exitCode = 0;
    int sleepSeconds = 0;
    int bytes = 2048;     // per file
    int volumes = 1;      // more than one: name.part1.zip, name.part2.zip, ...
    bool numbered = true; // "-<run number>" after the archive name: new names every run
};

// Everything a backup run needs but its delivery steps, on temporary folders, with a
// real process launcher.
struct RunEnvironment {
    RunEnvironment() {
        core::SetOptionDefaults(options, {folders.program, folders.data, QSize()});
        options.pte = root().filePath(QStringLiteral("tmp"));
        options.soe = false;
        QDir().mkpath(options.pte);
    }

    QTemporaryDir& root() { return tree.root; }
    QString destination() { return root().filePath(QStringLiteral("dest")); }

    // A preset with the folder task into destination(), saved and selected.
    tarcopt& addPreset(const QString& name,
                       const QStringList& include = {QStringLiteral("/nothing")}) {
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

    void useFakeArchiver(int exitCode, int sleepSeconds = 0, int bytes = 2048) {
        useFakeArchiver(FakeArchives{exitCode, sleepSeconds, bytes});
    }

    // An archiver stand-in: writes its files next to the archive path it is given,
    // sleeps, and exits with a code. A copy of every file it makes stays in madeFile().
    // Like an archiver stopped hard, it leaves a hidden work folder in the run folder.
    void useFakeArchiver(const FakeArchives& archives) {
        const QString script = root().filePath(QStringLiteral("fake-archiver"));
        const QString counter = root().filePath(QStringLiteral("runs"));
        const QString made = root().filePath(QStringLiteral("made"));
        QDir().mkpath(made);
        writeBytes(
            script,
            QStringLiteral(
                "#!/bin/sh\n"
                "for arg; do case \"$arg\" in a|-*|@*) ;; *) archive=\"$arg\";; esac; done\n"
                "n=$(cat '%1' 2>/dev/null || echo 0); n=$((n+1)); echo $n > '%1'\n"
                "mkdir \"$(dirname \"$archive\")/.work\"; sleep %2\n"
                "stem=\"$archive%6\"\n"
                "emit() { head -c %3 /dev/urandom > \"$1\"; cp \"$1\" '%5/'; }\n"
                "if [ %7 -eq 1 ]; then emit \"$stem.zip\"; else\n"
                "  k=1; while [ $k -le %7 ]; do emit \"$stem.part$k.zip\"; k=$((k+1)); done\n"
                "fi\n"
                "exit %4\n")
                .arg(counter)
                .arg(archives.sleepSeconds)
                .arg(archives.bytes)
                .arg(archives.exitCode)
                .arg(made, archives.numbered ? QStringLiteral("-$n") : QString())
                .arg(archives.volumes)
                .toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        options.pwi = script;
    }

    // The content of an archive the stand-in made (the last one of that name).
    QByteArray madeFile(const QString& name) {
        return readBytes(root().filePath(QStringLiteral("made/") + name));
    }

    // Log lines without their time stamps.
    QStringList logMessages() { return stowline::testing::withoutTimeStamps(log.model().lines()); }
    // The log lines after the archiver's last report ("Docs: WinRAR - Done"), or all of
    // them when there is none.
    QStringList linesAfterArchiving() {
        const QStringList lines = logMessages();
        qsizetype done = -1;
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines[i].startsWith(QLatin1String("Docs: WinRAR - Done")))
                done = i;
        return done < 0 ? lines : lines.mid(done + 1);
    }

    QStringList destinationFiles() {
        return QDir(destination()).entryList(QDir::Files, QDir::Name);
    }
    QStringList leftInTemp() {
        return QDir(options.pte).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    RunServices services(RunDeliveries& deliveries) {
        return RunServices{flags,
                           folders,
                           options,
                           messages,
                           log,
                           clock,
                           prompts,
                           launcher,
                           list,
                           store,
                           deliveries,
                           indicator,
                           [this](const QString& name, const QDateTime&) { lastRuns << name; }};
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
    RecordingIndicator indicator;
    QStringList lastRuns;
    tarcopt preset;
    QString presetName;
    QStringList includeLines;
};

// A backup run whose delivery steps only record that they were asked for.
struct RunFixture : RunEnvironment {
    RecordingDeliveries deliveries;
    BackupRun run{services(deliveries)};
};

} // namespace stowline::backup::testing
