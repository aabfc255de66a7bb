// Moves one large file across file systems with the run's moveFile and prints the
// seconds taken; run.sh compares it with `cp` plus `rm` on the same file.
#include "backup/FileMove.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: stowline_bench_move <source> <target>\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!stowline::backup::moveFile(arguments[1], arguments[2], &error)) {
        std::fprintf(stderr, "move failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%.3f\n", timer.nsecsElapsed() / 1e9);
    return 0;
}
