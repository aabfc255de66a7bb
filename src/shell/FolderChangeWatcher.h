#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QSocketNotifier;

namespace stowline::shell {

// The kinds of change a watcher reports.
struct ChangeKinds {
    bool fileNames = true;   // files created, deleted or renamed
    bool folderNames = true; // folders created, deleted or renamed
    bool sizes = true;       // file contents written
    bool lastWrite = true;   // last-write times changed
    bool attributes = true;  // attributes (mode, owner, times set by hand) changed
};

// Watches one folder, or the whole tree below it, through inotify: one watch per
// folder, read on the event loop. Folders created or moved into the tree are watched
// as they appear (and scanned, so that nothing made in them meanwhile goes unseen).
class FolderChangeWatcher final : public QObject {
    Q_OBJECT
public:
    explicit FolderChangeWatcher(QObject* parent = nullptr);
    ~FolderChangeWatcher() override;

    // Starts watching; false when the folder itself cannot be watched (cannotWatch()
    // then names it). Subfolders that cannot be watched are reported the same way
    // and skipped.
    bool start(const QString& folder, bool subtree, ChangeKinds kinds);
    void stop();
    int watchedFolderCount() const { return int(folders_.size()); }

signals:
    // Something of the chosen kinds changed: one report for all the changes read at once.
    void changed();
    void cannotWatch(const QString& folder, const QString& reason);

private:
    bool addWatch(const QString& folder, bool report);
    void addTree(const QString& folder);
    void readEvents();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    // Events are read a moment after the first of them, so that a stream of changes is
    // read in a few large batches instead of one wake-up per change.
    QTimer batch_;
    QString root_;
    QHash<int, QString> folders_;
    bool subtree_ = false;
    ChangeKinds kinds_;
    bool limitReported_ = false;
};

} // namespace stowline::shell
