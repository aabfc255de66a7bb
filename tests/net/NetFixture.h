#pragma once

#include "FtpSmtpServers.h"
#include "RunFixture.h"
#include "TestSupport.h"

#include "backup/PresetFiles.h"
#include "core/TextFiles.h"
#include "net/NetDeliveries.h"
#include "protocols/CurlDriver.h"

#include <QDir>

#include <gtest/gtest.h>

namespace stowline::net::testing {

using backup::testing::FakeArchives;
using protocols::test::FixtureServer;
using protocols::test::FtpServer;
using protocols::test::jsonStrings;
using protocols::test::readFile;
using protocols::test::SmtpServer;
using protocols::test::testCertificate;

// Short waits, and trust in the test servers' certificate.
inline DeliverySettings testSettings() {
    DeliverySettings settings;
    settings.ftpReplySeconds = 3;
    settings.smtpReplySeconds = 3;
    settings.hostScriptSeconds = 3;
    settings.trustedCertificate = testCertificate().certificate;
    return settings;
}

// A backup run with the network deliveries, on temporary folders, and the archiver
// stand-in. The preset "Docs" has no task until a test gives it one.
struct NetRun : backup::testing::RunEnvironment {
    explicit NetRun(DeliverySettings settings = testSettings())
        : deliveries(DeliveryServices{flags, folders, options, messages, log, clock, store, driver},
                     others, settings) {
        addPreset(QStringLiteral("Docs"));
        preset.ctf = false;
        options.fre = false;
        options.fin = 1;
        options.fti = 3;
    }

    // Runs the preset as it is now and returns the log lines from the archiver's
    // report on.
    QStringList runPreset() {
        savePreset();
        run.RunPreset();
        return linesAfterArchiving();
    }

    QStringList presetFile(const QString& extension) {
        return core::readTextLines(tree.preset(presetName + extension)).value_or(QStringList());
    }
    void writePresetFile(const QString& extension, const QStringList& lines) {
        ASSERT_TRUE(core::writeTextLinesAtomically(tree.preset(presetName + extension), lines));
    }
    // History time stamps of the test's clock.
    QString stamp() const { return backup::formatHistoryStamp(clock.now()); }
    QString stampDaysAgo(int days) const {
        return backup::formatHistoryStamp(clock.now().addDays(-days));
    }

    protocols::CurlDriver driver;
    backup::testing::RecordingDeliveries others;
    NetDeliveries deliveries;
    backup::BackupRun run{services(deliveries)};
};

} // namespace stowline::net::testing
