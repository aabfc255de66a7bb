// Writes the given files as one session to an image file with the disc engine and
// prints the seconds taken; run.sh compares it with xorriso writing the same files.
#include "disc/IsoburnDiscEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: stowline_bench_disc <image> <file>...\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    stowline::disc::IsoburnDiscEngine engine;
    engine.setCacheSize(16);
    const auto failed = [&engine](const char* stage) {
        std::fprintf(stderr, "%s failed: %s\n", stage, qPrintable(engine.lastError()));
        return 1;
    };
    if (!engine.selectRecorder(QStringLiteral("stdio:") + arguments[1]) || !engine.isUnitReady())
        return failed("select");
    engine.clearFiles();
    for (const QString& file : arguments.mid(2))
        engine.addFile(QStringLiteral("/"), file);
    if (!engine.importLastSession() || !engine.prepareImage())
        return failed("prepare");
    QEventLoop loop;
    bool writeFailed = true;
    QObject::connect(&engine, &stowline::disc::DiscEngine::writeDone, [&](bool failure) {
        writeFailed = failure;
        loop.quit();
    });
    if (!engine.startWrite())
        return failed("write");
    loop.exec();
    if (writeFailed)
        return failed("write");
    std::printf("%.3f\n", timer.nsecsElapsed() / 1e9);
    return 0;
}
