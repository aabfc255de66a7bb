#pragma once

#include "backup/HistoryRecorder.h"

#include <QStringList>

#include <functional>

namespace stowline::backup {

struct RunServices;
struct RunState;

// The folder task of a run: the copy cleaner, then the archives moved into the
// preset's destination folder, with the copy and delivery histories.
class LocalCopies {
public:
    LocalCopies(RunServices& services, RunState& run, std::function<void()> removeRunFolder);

    // False when the step ended the run (abort, or a destination that cannot be made).
    bool CopyStep();
    // Deletes the files of the cleaner list from the destination folder.
    void DeleteOldCopies(const QStringList& cleanerList);

private:
    HistoryRecorder histories() const;
    bool copyFiles(QStringList& copiedNames);
    bool moveOneFile(const QString& name, qint64 doneBefore);
    void reportCopied(qint64 done);
    void emptyDestination();
    void endAborted();

    RunServices& services_;
    RunState& run_;
    std::function<void()> removeRunFolder_;
    qint64 totalBytes_ = 0; // of every archive to copy
};

} // namespace stowline::backup
