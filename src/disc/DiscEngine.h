#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace stowline::disc {

// Blocks of 2048 bytes; 512 blocks make one megabyte.
inline constexpr qint64 kBlockBytes = 2048;
inline constexpr qint64 kBlocksPerMegabyte = 512;

// Medium type codes as the drive information report names them (mediumTypeName).
enum class MediumType : int {
    Unknown = 0,
    CdRom = 1,
    CdR = 2,
    CdRw = 3,
    DvdRom = 4,
    DvdR = 5,
    DvdRam = 6,
    DvdRw = 7,
    DvdRwRestrictedOverwrite = 8,
    DvdRwSequential = 9,
    DvdPlusRw = 10,
    DvdPlusR = 11,
    DvdPlusRDualLayer = 12,
    BdRom = 13,
    BdR = 14,
    BdRRandom = 15,
    BdRe = 16,
};

// A recorder as the engine lists it. `name` is "vendor product," + address, so the
// address follows the name's first comma.
struct Recorder {
    QString name;
    QString address; // "/dev/sr0", or "stdio:/path/file" for an image file
    bool writer = false;
};

// What the engine knows about the medium in the current recorder.
struct MediumInfo {
    bool ready = false;    // a medium is present and the unit answers
    int type = 0;          // a MediumType code
    bool writable = false; // blank or appendable
    bool erasable = false; // rewritable
    int sessions = 0;      // 0: an empty disc
    qint64 totalBlocks = 0;
    qint64 freeBlocks = 0;
    int currentWriteSpeed = 0; // KB/s
    int maxWriteSpeed = 0;     // KB/s
};

// Device access for the disc step and the editor. The queries and the session list
// work on the caller's thread and return at once; erase, write and verify run on the
// engine's own thread and report their end through the signals, which are always
// emitted on the thread that owns the engine. While one of them runs (busy()), the
// engine starts no second one and answers no queries.
class DiscEngine : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QList<Recorder> recorders() = 0;
    // Makes the recorder at `address` the current one; false (with lastError()) when
    // there is none there or the engine is busy.
    virtual bool selectRecorder(const QString& address) = 0;
    // The write cache in megabytes (the preset's cdb).
    virtual void setCacheSize(int megabytes) = 0;
    // Lets other programs use the recorder until the next query; the selection stays.
    virtual void releaseRecorder() = 0;
    // Open and close the tray; they do not wait for the drive.
    virtual void ejectMedium() = 0;
    virtual void loadMedium() = 0;
    virtual void lockTray() = 0;
    virtual void unlockTray() = 0;
    virtual bool isUnitReady() = 0;
    virtual MediumInfo mediumInfo() = 0;
    // The recorder's read (1..14) and write (21..32) capabilities.
    virtual bool capability(int number) = 0;

    // The session to write: the files added, laid over the last session's tree when
    // it was imported. A file of the same name replaces the imported one.
    virtual void clearFiles() = 0;
    virtual void addFile(const QString& discFolder, const QString& localPath) = 0;
    virtual bool importLastSession() = 0;
    // Lays out the session; afterwards imageBlocks() is its size. False: lastError().
    virtual bool prepareImage() = 0;
    virtual qint64 imageBlocks() const = 0;

    // Start an operation; false (with lastError()) when it could not start, in which
    // case no signal follows.
    virtual bool startErase() = 0;
    virtual bool startWrite() = 0;
    // Reads every file of the last written session back and compares it with its source.
    virtual bool startVerify() = 0;
    // Asks the running operation to stop; its completion signal still follows.
    virtual void abortOperation() = 0;
    virtual bool busy() const = 0;

    virtual qint64 writtenBlocks() const = 0;
    virtual qint64 verifiedAmount() const = 0;
    virtual qint64 verifyTotal() const = 0;
    // The local path of the file verifyDone names by its index.
    virtual QString verifiedFileName(int index) const = 0;
    virtual QString lastError() const = 0;

signals:
    void eraseDone(bool failed);
    void writeDone(bool failed);
    // Once per file that differs (index >= 0, failed), then once at the end (index -1,
    // failed when at least one file failed).
    void verifyDone(bool failed, int index);
};

} // namespace stowline::disc
