// Rebuilding the preset list from a presets folder of 1,000 presets, compared with
// listing the same folder alone. The ratio says what the completeness checks, the
// pictures, the model and the sort add to the one directory listing that cannot be
// avoided.

#include "backup/PresetList.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/MessageTable.h"
#include "core/OptionFields.h"
#include "core/Options.h"
#include "core/ProgramState.h"
#include "platform/fakes/RecordingPrompts.h"
#include "platform/fakes/RecordingSoundPlayer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace stowline;

namespace {

constexpr int kPresets = 1000;

void touch(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// A folder as it grows in use: every preset complete, some with pictures, notes and
// histories, and a few leftovers that are not complete presets.
void fillPresetsFolder(const QString& folder) {
    for (int i = 0; i < kPresets; ++i) {
        const QString base = folder + QStringLiteral("/Backup %1").arg(i, 4, 10, QLatin1Char('0'));
        touch(base + ".pst", QByteArray(3000, 'M') + "\r\n");
        touch(base + ".inc", "/home/me/documents\r\n");
        touch(base + ".exc", "*.tmp\r\n");
        if (i % 3 == 0) {
            touch(base + ".not", "notes\r\n");
            touch(base + ".hst", "2016.03.20 23:00:00 \t4-COPY\t/mnt/backup/docs.rar\r\n");
            touch(base + ".lgc", "2016.03.20 23:00:00 \r\ndocs.rar\r\n\r\n");
        }
        if (i % 10 == 0)
            touch(base + ".bmp", "BM");
    }
    for (int i = 0; i < 20; ++i)
        touch(folder + QStringLiteral("/Leftover %1.pst").arg(i), "");
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;

    QTemporaryDir root;
    core::Folders folders{root.path() + "/program", root.path() + "/data",
                          root.path() + "/data/presets"};
    QDir().mkpath(folders.program);
    QDir().mkpath(folders.presets);
    fillPresetsFolder(folders.presets);

    core::topt options;
    core::SetOptionDefaults(options, {folders.program, folders.data, {}});
    core::MessageTable messages;
    core::SystemClock clock;
    core::ProgramFlags flags;
    platform::RecordingSoundPlayer sound;
    platform::RecordingPrompts prompts;
    core::EventLog log(folders, flags, options, messages, clock, sound);
    backup::PresetList list(folders, options, messages, log, prompts);

    const auto listFolder = [&] {
        return QDir(folders.presets)
            .entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted)
            .size();
    };
    // Warm the directory cache so both sides read from memory.
    listFolder();
    list.ScanPresets();
    if (list.model().rowCount() != kPresets) {
        std::fprintf(stderr, "listed %d presets instead of %d\n", list.model().rowCount(),
                     kPresets);
        return 1;
    }

    std::vector<double> listing;
    std::vector<double> scanning;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        listFolder();
        listing.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        list.ScanPresets();
        scanning.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double listed = median(listing);
    const double scanned = median(scanning);
    std::printf("presets folder: %d presets, %lld files; median of %d rounds\n", kPresets,
                static_cast<long long>(listFolder()), rounds);
    std::printf("listing the folder alone: %.2f ms\n", listed);
    std::printf("ScanPresets:              %.2f ms\n", scanned);
    std::printf("ratio ScanPresets / listing: %.2f\n", scanned / listed);
    return 0;
}
