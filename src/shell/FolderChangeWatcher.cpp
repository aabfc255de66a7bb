#include "shell/FolderChangeWatcher.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace stowline::shell {

namespace {

constexpr int kBatchMilliseconds = 50;

// Watches always include the creations and moves of folders, so that a tree stays
// complete, and the removal of the folder itself.
constexpr uint32_t kTreeEvents =
    IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

uint32_t eventMask(const ChangeKinds& kinds) {
    uint32_t mask = kTreeEvents;
    if (kinds.fileNames || kinds.folderNames)
        mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    if (kinds.sizes || kinds.lastWrite)
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    if (kinds.attributes || kinds.lastWrite)
        mask |= IN_ATTRIB;
    return mask;
}

// Whether one event is of a kind the watcher reports.
bool wanted(const inotify_event& event, const ChangeKinds& kinds) {
    const bool folder = event.mask & IN_ISDIR;
    if (event.mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
        return folder ? kinds.folderNames : kinds.fileNames;
    if (event.mask & IN_MODIFY)
        return kinds.sizes || kinds.lastWrite;
    if (event.mask & IN_CLOSE_WRITE)
        return kinds.lastWrite;
    if (event.mask & IN_ATTRIB)
        return kinds.attributes;
    return false;
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

FolderChangeWatcher::FolderChangeWatcher(QObject* parent) : QObject(parent) {
    batch_.setSingleShot(true);
    batch_.setInterval(kBatchMilliseconds);
    connect(&batch_, &QTimer::timeout, this, [this] {
        readEvents();
        if (notifier_)
            notifier_->setEnabled(true);
    });
}

FolderChangeWatcher::~FolderChangeWatcher() {
    stop();
}

bool FolderChangeWatcher::start(const QString& folder, bool subtree, ChangeKinds kinds) {
    stop();
    root_ = folder;
    subtree_ = subtree;
    kinds_ = kinds;
    limitReported_ = false;
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        emit cannotWatch(folder, errnoText(errno));
        return false;
    }
    if (!addWatch(folder, true)) {
        stop();
        return false;
    }
    if (subtree_)
        addTree(folder);
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        notifier_->setEnabled(false);
        batch_.start();
    });
    return true;
}

void FolderChangeWatcher::stop() {
    batch_.stop();
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    folders_.clear();
}

bool FolderChangeWatcher::addWatch(const QString& folder, bool report) {
    const int wd = inotify_add_watch(fd_, QFile::encodeName(folder).constData(), eventMask(kinds_));
    if (wd < 0) {
        const int error = errno;
        // The watch limit fails every further folder the same way: say it once.
        if (error == ENOSPC) {
            if (!limitReported_)
                emit cannotWatch(folder,
                                 QStringLiteral("the limit of inotify watches "
                                                "(fs.inotify.max_user_watches) is reached"));
            limitReported_ = true;
        } else if (report || error != ENOENT) {
            // A subfolder that vanished before its watch was added is no fault.
            emit cannotWatch(folder, errnoText(error));
        }
        return false;
    }
    folders_.insert(wd, folder);
    return true;
}

// Adds a watch for every folder below `folder`, depth first, without following links.
void FolderChangeWatcher::addTree(const QString& folder) {
    DIR* dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    QStringList below;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)
            continue;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        below << folder + QLatin1Char('/') + QFile::decodeName(entry->d_name);
    }
    closedir(dir);
    for (const QString& child : below) {
        // IN_ONLYDIR refuses anything that is not a folder (DT_UNKNOWN entries).
        if (addWatch(child, false))
            addTree(child);
    }
}

void FolderChangeWatcher::readEvents() {
    alignas(inotify_event) char buffer[64 * 1024];
    bool report = false;
    bool overflow = false;
    for (;;) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (char* at = buffer; at < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: something changed, and new folders may be unwatched.
                report = true;
                overflow = true;
                continue;
            }
            if (event->mask & IN_IGNORED) {
                folders_.remove(event->wd);
                continue;
            }
            if (wanted(*event, kinds_))
                report = true;
            if (subtree_ && (event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO)) &&
                event->len > 0) {
                const QString parent = folders_.value(event->wd);
                if (parent.isEmpty())
                    continue;
                const QString child = parent + QLatin1Char('/') + QFile::decodeName(event->name);
                if (addWatch(child, false))
                    addTree(child);
            }
        }
    }
    if (overflow && subtree_)
        addTree(root_);
    if (report)
        emit changed();
}

} // namespace stowline::shell
