#pragma once

#include "platform/ProcessLauncher.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

namespace stowline::core {
class MessageTable;
struct Folders;
struct topt;
} // namespace stowline::core

namespace stowline::platform {
class Prompts;
}

namespace stowline::shell {

// The two SWL-BIN archives: the keeper copies items into keeper.rar, the recycle bin
// moves them into recycle.rar.
enum class BinKind { Keeper, Recycle };

// The archive of `kind` in the folder obf.
QString binArchivePath(const core::topt& options, BinKind kind);
// Whether `archiver` is a RAR archiver (which would stop to ask for a missing password)
// rather than the bundled one.
bool isRarArchiver(const QString& archiver);
// The archiver's parameters that add the names listed in `listFile` to the archive of
// `kind`. Every path and the password are quoted as arguments of their own, so a
// password with blanks or quotes arrives exactly as typed.
QString binArchiveParameters(BinKind kind, const core::topt& options, const QString& listFile);
// The parameters that delete the entries older than `days` from the archive of `kind`.
QString binCleanParameters(BinKind kind, const core::topt& options, int days);

// The archive the SWL-BIN window shows for the window mode obt (1 keeper, 2 recycle),
// or nothing when the window is hidden: off, or the verb of its archive is disabled.
std::optional<BinKind> shownBinWindow(int obt, bool keeperOn, bool recycleOn);

struct BinServices {
    const core::Folders& folders;
    const core::topt& options;
    const core::MessageTable& messages;
    platform::Prompts& prompts;
    platform::ProcessLauncher& launcher;
};

// The keeper and recycle queues. Items arrive one by one (forwarded from the file
// manager's verbs or dropped on the SWL-BIN window); once they stop arriving for the
// collection delay, the queue goes to the archiver in one call. At most one call per
// archive runs at a time; items that arrive meanwhile wait for the next one.
class BinArchives final : public QObject {
    Q_OBJECT
public:
    // Long enough to collect the items of one file-manager action, whose processes start
    // one after another.
    static constexpr int kCollectionDelayMs = 2000;

    explicit BinArchives(BinServices services, QObject* parent = nullptr);
    ~BinArchives() override;

    // A forwarded item: "K" or "R" followed by a path; other texts are ignored.
    void QueueBinItem(const QString& text);
    void addItem(BinKind kind, const QString& path);
    QStringList queued(BinKind kind) const { return bin(kind).queue; }
    bool isArchiving(BinKind kind) const { return bin(kind).process != nullptr; }
    void setCollectionDelay(int milliseconds);

    // Deletes the entries older than `days` from the archive and waits for the archiver.
    // Empty on success, else what went wrong.
    QString cleanOlderThan(bool recycle, int days);

signals:
    // An archiver call of `kind` ended; `ok` when it reported no error.
    void archived(stowline::shell::BinKind kind, bool ok);

private:
    struct Bin {
        explicit Bin(BinKind binKind) : kind(binKind) {}
        BinKind kind;
        QStringList queue;
        QTimer timer;
        // Set from the moment the timer fires until the queue is handed over (this spans
        // the recycle question).
        bool listBusy = false;
        std::unique_ptr<platform::RunningProcess> process;
        QString listFile;
    };

    Bin& bin(BinKind kind) { return kind == BinKind::Keeper ? keeper_ : recycle_; }
    const Bin& bin(BinKind kind) const { return kind == BinKind::Keeper ? keeper_ : recycle_; }
    void collectionEnded(Bin& bin);
    void startArchiver(Bin& bin, const QStringList& items);
    void archiverEnded(Bin& bin);
    void reportProblem(const QString& detail);

    BinServices services_;
    Bin keeper_{BinKind::Keeper};
    Bin recycle_{BinKind::Recycle};
};

} // namespace stowline::shell
