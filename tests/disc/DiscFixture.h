#pragma once

#include "QtPrinters.h"
#include "RunFixture.h"

#include "core/TextFiles.h"
#include "disc/DiscDeliveries.h"
#include "disc/DiscStep.h"
#include "disc/SimulatedDiscEngine.h"

#include <gtest/gtest.h>

namespace stowline::disc::testing {

using backup::testing::FakeArchives;

// Short pauses and limits, so a test of a wait takes milliseconds.
inline DiscSettings quickSettings() {
    using std::chrono::milliseconds;
    DiscSettings settings;
    settings.settle = milliseconds(1);
    settings.readyPoll = milliseconds(1);
    settings.reloadLimit = milliseconds(2000);
    settings.progressPoll = milliseconds(5);
    settings.eraseLimit = milliseconds(5000);
    settings.writeLimit = milliseconds(20000);
    settings.verifyLimit = milliseconds(20000);
    settings.stopLimit = milliseconds(2000);
    return settings;
}

// A backup run of the preset "Docs" whose only task is the disc, on temporary folders
// with the archiver stand-in, writing through `engine`.
template <class Engine> struct DiscRunOn : backup::testing::RunEnvironment {
    explicit DiscRunOn(const QString& recorder, DiscSettings settings = quickSettings())
        : step(DiscStepServices{flags, messages, log, prompts, store, engine}, settings) {
        addPreset(QStringLiteral("Docs"));
        preset.ctf = false;
        preset.cdw = true;
        preset.cdr = recorder;
        preset.cne = true;
        useFakeArchiver(FakeArchives{0, 0, 4096, 2});
    }

    // Runs the preset as it is now; the log lines from the archiver's report on.
    QStringList runPreset() {
        savePreset();
        run.RunPreset();
        return linesAfterArchiving();
    }

    QStringList history() {
        return core::readTextLines(tree.preset(QStringLiteral("Docs.hst"))).value_or(QStringList());
    }
    // The archives left in the temporary folder's run folders.
    QStringList keptArchives() {
        QStringList names;
        for (const QString& folder : leftInTemp())
            names << QDir(options.pte + QLatin1Char('/') + folder).entryList(QDir::Files);
        return names;
    }

    Engine engine;
    backup::testing::RecordingDeliveries others;
    DiscStep step;
    DiscDeliveries deliveries{step, others};
    backup::BackupRun run{services(deliveries)};
};

} // namespace stowline::disc::testing
