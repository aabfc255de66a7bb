#include "disc/IsoburnDiscEngine.h"

// libburn.h puts its types in a namespace under C++, libisoburn.h names them globally.
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>
using burn::burn_disc;
using burn::burn_drive;
using burn::burn_drive_info;
using burn::burn_write_opts;
#include <libisoburn/libisoburn.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <thread>

namespace stowline::disc {

namespace {
constexpr auto kStatusPoll = std::chrono::milliseconds(100);
constexpr qint64 kCompareChunk = 64 * 1024;

// libburn's profile numbers and the medium type codes they stand for.
int mediumTypeOfProfile(int profile) {
    switch (profile) {
    case 0x08:
        return int(MediumType::CdRom);
    case 0x09:
        return int(MediumType::CdR);
    case 0x0a:
        return int(MediumType::CdRw);
    case 0x10:
        return int(MediumType::DvdRom);
    case 0x11:
    case 0x15:
    case 0x16:
        return int(MediumType::DvdR);
    case 0x12:
        return int(MediumType::DvdRam);
    case 0x13:
        return int(MediumType::DvdRwRestrictedOverwrite);
    case 0x14:
        return int(MediumType::DvdRwSequential);
    case 0x1a:
        return int(MediumType::DvdPlusRw);
    case 0x1b:
        return int(MediumType::DvdPlusR);
    case 0x2b:
        return int(MediumType::DvdPlusRDualLayer);
    case 0x40:
        return int(MediumType::BdRom);
    case 0x41:
        return int(MediumType::BdR);
    case 0x42:
        return int(MediumType::BdRRandom);
    case 0x43:
        return int(MediumType::BdRe);
    default:
        return int(MediumType::Unknown);
    }
}

bool initializeLibraries(QString& error) {
    static const QString result = [] {
        char message[1024] = {};
        if (!isoburn_initialize(message, 0))
            return QStringLiteral("cannot initialize the disc libraries: ") +
                   QString::fromLocal8Bit(message);
        // Messages are queued for lastError(), never printed.
        burn::burn_msgs_set_severities(const_cast<char*>("ALL"), const_cast<char*>("NEVER"),
                                       const_cast<char*>("stowline : "));
        iso_set_msgs_severities(const_cast<char*>("NEVER"), const_cast<char*>("NEVER"),
                                const_cast<char*>("stowline : "));
        return QString();
    }();
    error = result;
    return result.isEmpty();
}

struct ReadOptions {
    isoburn_read_opts* options = nullptr;
    explicit ReadOptions(bool blank) {
        isoburn_ropt_new(&options, 0);
        // Without the ISO 9690:1999 tree off, the imported tree comes back empty.
        isoburn_ropt_set_extensions(options, isoburn_ropt_noiso1999 |
                                                 (blank ? isoburn_ropt_pretend_blank : 0));
        isoburn_ropt_set_auto_incharset(options, 1);
    }
    ~ReadOptions() { isoburn_ropt_destroy(&options, 0); }
};
} // namespace

// The acquired drive with what belongs to it.
struct IsoburnDrive {
    burn_drive_info* info = nullptr;
    burn_disc* prepared = nullptr;
    burn_drive* drive() const { return info[0].drive; }
};

IsoburnDiscEngine::IsoburnDiscEngine(QObject* parent) : DiscEngine(parent) {
    initialized_ = initializeLibraries(lastError_);
}

IsoburnDiscEngine::~IsoburnDiscEngine() {
    cancel_ = true;
    if (worker_.joinable())
        worker_.join();
    release(false);
}

bool IsoburnDiscEngine::fail(const QString& error) {
    lastError_ = error;
    return false;
}

QString IsoburnDiscEngine::libraryError(const QString& fallback) const {
    QString text;
    char message[4096];
    char severity[80];
    int code = 0;
    int osErrno = 0;
    // The last message of severity SORRY or worse says best what went wrong.
    while (burn::burn_msgs_obtain(const_cast<char*>("SORRY"), &code, message, &osErrno, severity) >
           0)
        text = QString::fromLocal8Bit(message);
    return text.isEmpty() ? fallback : fallback + QStringLiteral(": ") + text;
}

bool IsoburnDiscEngine::refuseWhenBusy() {
    if (busy_)
        return !fail(QStringLiteral("the recorder is busy"));
    return false;
}

QList<Recorder> IsoburnDiscEngine::recorders() {
    QList<Recorder> list;
    // The scan needs every drive released; a busy engine is not interrupted.
    if (!initialized_ || busy_)
        return list;
    release(false);
    burn_drive_info* infos = nullptr;
    unsigned int count = 0;
    if (burn::burn_drive_scan(&infos, &count) <= 0)
        return list;
    for (unsigned int i = 0; i < count; ++i) {
        char address[BURN_DRIVE_ADR_LEN] = {};
        if (burn::burn_drive_get_adr(&infos[i], address) <= 0)
            continue;
        Recorder recorder;
        recorder.address = QString::fromLocal8Bit(address);
        recorder.name = QString::fromLatin1(infos[i].vendor).trimmed() + QLatin1Char(' ') +
                        QString::fromLatin1(infos[i].product).trimmed() + QLatin1Char(',') +
                        recorder.address;
        recorder.writer = infos[i].write_cdr || infos[i].write_cdrw || infos[i].write_dvdr ||
                          infos[i].write_dvdram;
        list << recorder;
    }
    burn::burn_drive_info_free(infos);
    return list;
}

bool IsoburnDiscEngine::selectRecorder(const QString& address) {
    if (!initialized_)
        return false;
    if (refuseWhenBusy())
        return false;
    release(false);
    files_.clear();
    address_ = address;
    if (address.isEmpty())
        return fail(QStringLiteral("no recorder chosen"));
    if (!address.startsWith(QLatin1String("stdio:")) && !QFileInfo::exists(address))
        return fail(QStringLiteral("no recorder at ") + address);
    if (address.startsWith(QLatin1String("stdio:")) &&
        !QFileInfo(address.mid(6)).absoluteDir().exists())
        return fail(QStringLiteral("no folder for ") + address.mid(6));
    return true;
}

void IsoburnDiscEngine::setCacheSize(int megabytes) {
    cacheMegabytes_ = megabytes;
}

bool IsoburnDiscEngine::acquire() {
    if (drive_)
        return true;
    if (address_.isEmpty())
        return fail(QStringLiteral("no recorder chosen"));
    auto drive = std::make_unique<IsoburnDrive>();
    QByteArray address = address_.toLocal8Bit();
    // bit0: load the tray; bit5, bit6: no ACLs or extended attributes from local files.
    if (isoburn_drive_aquire(&drive->info, address.data(), 1 | 32 | 64) <= 0)
        return fail(libraryError(QStringLiteral("cannot open ") + address_));
    drive_ = std::move(drive);
    return true;
}

void IsoburnDiscEngine::cancelPrepared() {
    if (drive_ && drive_->prepared) {
        isoburn_cancel_prepared_write(drive_->drive(), nullptr, 0);
        burn::burn_disc_free(drive_->prepared);
        drive_->prepared = nullptr;
    }
    imageBlocks_ = 0;
}

void IsoburnDiscEngine::release(bool eject) {
    if (!drive_)
        return;
    cancelPrepared();
    isoburn_drive_release(drive_->drive(), eject ? 1 : 0);
    burn::burn_drive_info_free(drive_->info);
    drive_.reset();
}

void IsoburnDiscEngine::releaseRecorder() {
    if (!busy_)
        release(false);
}

void IsoburnDiscEngine::ejectMedium() {
    if (busy_)
        return;
    // An image file has no tray: releasing it is all there is to do.
    release(!address_.startsWith(QLatin1String("stdio:")));
}

void IsoburnDiscEngine::loadMedium() {
    if (!busy_)
        acquire();
}

void IsoburnDiscEngine::lockTray() {}
void IsoburnDiscEngine::unlockTray() {}

bool IsoburnDiscEngine::isUnitReady() {
    if (busy_ || !acquire())
        return false;
    const auto status = isoburn_disc_get_status(drive_->drive());
    const bool ready = status == burn::BURN_DISC_BLANK || status == burn::BURN_DISC_APPENDABLE ||
                       status == burn::BURN_DISC_FULL;
    if (!ready)
        release(false); // looked at again on the next check
    return ready;
}

MediumInfo IsoburnDiscEngine::mediumInfo() {
    MediumInfo medium;
    if (busy_ || !isUnitReady())
        return medium;
    burn_drive* drive = drive_->drive();
    medium.ready = true;
    const auto status = isoburn_disc_get_status(drive);
    medium.writable = status == burn::BURN_DISC_BLANK || status == burn::BURN_DISC_APPENDABLE;
    medium.erasable = isoburn_disc_erasable(drive) != 0;
    int profile = 0;
    char profileName[80] = {};
    burn::burn_disc_get_profile(drive, &profile, profileName);
    medium.type = mediumTypeOfProfile(profile);
    qint64 usedBlocks = 0;
    if (status != burn::BURN_DISC_BLANK) {
        if (isoburn_toc_disc* toc = isoburn_toc_drive_get_disc(drive)) {
            int sessions = 0;
            isoburn_toc_disc_get_sessions(toc, &sessions);
            medium.sessions = sessions;
            usedBlocks = isoburn_toc_disc_get_sectors(toc);
            isoburn_toc_disc_free(toc);
        }
    }
    int start = 0;
    int nextWritable = 0;
    if (medium.writable && isoburn_disc_track_lba_nwa(drive, nullptr, 0, &start, &nextWritable) > 0)
        usedBlocks = nextWritable;
    const off_t freeBytes = medium.writable ? isoburn_disc_available_space(drive, nullptr) : 0;
    medium.freeBlocks = freeBytes / kBlockBytes;
    medium.totalBlocks = usedBlocks + medium.freeBlocks;
    medium.maxWriteSpeed = burn::burn_drive_get_write_speed(drive);
    medium.currentWriteSpeed = medium.maxWriteSpeed;
    return medium;
}

bool IsoburnDiscEngine::capability(int number) {
    if (busy_ || !acquire())
        return false;
    const burn_drive_info& info = drive_->info[0];
    switch (number) {
    case 1:
        return info.read_cdr;
    case 2:
        return info.read_cdrw;
    case 3:
        return info.read_dvdram;
    case 4:
    case 5:
        return info.read_dvdr;
    case 21:
        return info.write_cdr;
    case 22:
        return info.write_cdrw;
    case 23:
        return info.write_dvdram;
    case 24:
    case 25:
        return info.write_dvdr;
    default:
        return false;
    }
}

void IsoburnDiscEngine::clearFiles() {
    if (busy_)
        return;
    files_.clear();
    importSession_ = false;
    cancelPrepared();
}

void IsoburnDiscEngine::addFile(const QString& discFolder, const QString& localPath) {
    QString folder = discFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    files_ << SessionFile{folder + QFileInfo(localPath).fileName(), localPath};
}

bool IsoburnDiscEngine::importLastSession() {
    importSession_ = true;
    return true;
}

bool IsoburnDiscEngine::prepareImage() {
    if (refuseWhenBusy() || !acquire())
        return false;
    cancelPrepared();
    burn_drive* drive = drive_->drive();
    IsoImage* image = nullptr;
    {
        const ReadOptions options(!importSession_);
        if (isoburn_read_image(drive, options.options, &image) <= 0)
            return fail(libraryError(QStringLiteral("cannot read the last session")));
    }
    for (const SessionFile& file : files_) {
        IsoDir* parent = iso_image_get_root(image);
        const QStringList parts = file.discPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            const QByteArray name = parts[i].toUtf8();
            IsoNode* node = nullptr;
            if (iso_dir_get_node(parent, name.constData(), &node) == 1 &&
                iso_node_get_type(node) == LIBISO_DIR) {
                parent = reinterpret_cast<IsoDir*>(node);
            } else if (iso_tree_add_new_dir(parent, name.constData(), &parent) < 0) {
                iso_image_unref(image);
                return fail(QStringLiteral("cannot make the folder ") + parts[i]);
            }
        }
        const QByteArray name = parts.value(parts.size() - 1).toUtf8();
        // A file of the same name from an earlier session is replaced: the engine would
        // keep the old one otherwise.
        IsoNode* existing = nullptr;
        if (iso_dir_get_node(parent, name.constData(), &existing) == 1)
            iso_node_remove(existing);
        const QByteArray local = QFile::encodeName(file.localPath);
        IsoNode* added = nullptr;
        if (iso_tree_add_new_node(image, parent, name.constData(), local.constData(), &added) < 0) {
            iso_image_unref(image);
            return fail(QStringLiteral("cannot add ") + file.localPath);
        }
    }
    iso_image_unref(image); // the drive holds its own reference

    isoburn_imgen_opts* options = nullptr;
    isoburn_igopt_new(&options, 0);
    // Level 3: archives may be larger than 4 GiB.
    isoburn_igopt_set_level(options, 3);
    isoburn_igopt_set_extensions(options, isoburn_igopt_rockridge | isoburn_igopt_joliet);
    isoburn_igopt_set_relaxed(
        options, isoburn_igopt_allow_full_ascii | isoburn_igopt_allow_deep_paths |
                     isoburn_igopt_allow_longer_paths | isoburn_igopt_max_37_char_filenames);
    // The write cache decouples the image producer from the recorder.
    if (cacheMegabytes_ > 0)
        isoburn_igopt_set_fifo_size(options, std::clamp(cacheMegabytes_, 1, 1024) * 1024 * 1024);
    const int prepared = isoburn_prepare_disc(drive, &drive_->prepared, options);
    isoburn_igopt_destroy(&options, 0);
    if (prepared <= 0) {
        drive_->prepared = nullptr;
        return fail(libraryError(QStringLiteral("cannot lay out the session")));
    }
    imageBlocks_ = burn::burn_disc_get_sectors(drive_->prepared);
    return true;
}

void IsoburnDiscEngine::runInBackground(std::function<void()> work) {
    if (worker_.joinable())
        worker_.join();
    cancel_ = false;
    busy_ = true;
    worker_ = std::thread(std::move(work));
}

bool IsoburnDiscEngine::startErase() {
    if (refuseWhenBusy() || !acquire())
        return false;
    cancelPrepared();
    if (!isoburn_disc_erasable(drive_->drive()))
        return fail(QStringLiteral("the disc is not rewritable"));
    runInBackground([this] { eraseWork(); });
    return true;
}

void IsoburnDiscEngine::eraseWork() {
    burn_drive* drive = drive_->drive();
    isoburn_disc_erase(drive, 1);
    burn::burn_progress progress;
    while (burn::burn_drive_get_status(drive, &progress) != burn::BURN_DRIVE_IDLE) {
        if (cancel_)
            burn::burn_drive_cancel(drive);
        std::this_thread::sleep_for(kStatusPoll);
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            worker_.join();
            // The drive's view of an emulated medium is only renewed by acquiring it again.
            release(false);
            const bool failed =
                !acquire() || isoburn_disc_get_status(drive_->drive()) != burn::BURN_DISC_BLANK;
            if (failed)
                lastError_ = libraryError(QStringLiteral("the erase failed"));
            busy_ = false;
            emit eraseDone(failed);
        },
        Qt::QueuedConnection);
}

bool IsoburnDiscEngine::startWrite() {
    if (refuseWhenBusy() || !acquire())
        return false;
    if (!drive_->prepared)
        return fail(QStringLiteral("no session prepared"));
    // The engine would start a session that does not fit and fail at its end.
    const off_t available = isoburn_disc_available_space(drive_->drive(), nullptr);
    if (imageBlocks_ * kBlockBytes > available)
        return fail(QStringLiteral("not enough free space for the session"));
    writtenBlocks_ = 0;
    written_ = files_;
    runInBackground([this] { writeWork(); });
    return true;
}

void IsoburnDiscEngine::writeWork() {
    burn_drive* drive = drive_->drive();
    burn_disc* disc = drive_->prepared;
    burn_write_opts* options = burn::burn_write_opts_new(drive);
    burn::burn_write_opts_set_perform_opc(options, 0);
    // Sequential media stay appendable after the session; on overwritable media and
    // image files libisoburn keeps the sessions itself.
    burn::burn_write_opts_set_multi(options, isoburn_needs_emulation(drive) == 1 ? 0 : 1);
    burn::burn_write_opts_set_underrun_proof(options, 1);
    char reasons[BURN_REASONS_LEN] = {};
    const bool writable =
        burn::burn_write_opts_auto_write_type(options, disc, reasons, 0) != burn::BURN_WRITE_NONE;
    bool failed = !writable;
    QString error =
        writable ? QString() : QStringLiteral("no write mode: ") + QString::fromLocal8Bit(reasons);
    if (writable) {
        isoburn_disc_write(options, disc);
        burn::burn_progress progress;
        while (burn::burn_drive_get_status(drive, &progress) != burn::BURN_DRIVE_IDLE) {
            if (cancel_)
                burn::burn_drive_cancel(drive);
            if (progress.sectors > 0)
                writtenBlocks_ = progress.sector;
            std::this_thread::sleep_for(kStatusPoll);
        }
        failed = cancel_ || !isoburn_drive_wrote_well(drive);
        if (!failed && isoburn_activate_session(drive) <= 0)
            failed = true;
        if (!failed)
            writtenBlocks_ = imageBlocks_;
        if (failed)
            error = libraryError(cancel_ ? QStringLiteral("the write was stopped")
                                         : QStringLiteral("the write failed"));
    } else {
        isoburn_cancel_prepared_write(drive, nullptr, 0);
    }
    isoburn_sync_after_write(drive, nullptr, 0);
    burn::burn_write_opts_free(options);
    QMetaObject::invokeMethod(
        this,
        [this, failed, error] {
            worker_.join();
            burn::burn_disc_free(drive_->prepared);
            drive_->prepared = nullptr;
            imageBlocks_ = 0;
            // The medium is looked at afresh after the write.
            release(false);
            if (failed)
                lastError_ = error;
            busy_ = false;
            emit writeDone(failed);
        },
        Qt::QueuedConnection);
}

bool IsoburnDiscEngine::startVerify() {
    if (refuseWhenBusy() || !acquire())
        return false;
    if (written_.isEmpty())
        return fail(QStringLiteral("nothing was written"));
    qint64 total = 0;
    for (const SessionFile& file : written_)
        total += QFileInfo(file.localPath).size();
    verifyTotal_ = total;
    verifiedAmount_ = 0;
    runInBackground([this] { verifyWork(); });
    return true;
}

void IsoburnDiscEngine::verifyWork() {
    burn_drive* drive = drive_->drive();
    IsoImage* image = nullptr;
    QList<int> failedFiles;
    bool unreadable = false;
    {
        const ReadOptions options(false);
        unreadable = isoburn_read_image(drive, options.options, &image) <= 0;
    }
    for (int i = 0; i < written_.size(); ++i) {
        if (cancel_)
            break;
        bool same = false;
        IsoNode* node = nullptr;
        QFile local(written_[i].localPath);
        const QByteArray path = written_[i].discPath.toUtf8();
        if (!unreadable && iso_tree_path_to_node(image, path.constData(), &node) == 1 &&
            iso_node_get_type(node) == LIBISO_FILE && local.open(QIODevice::ReadOnly)) {
            IsoStream* stream = iso_file_get_stream(reinterpret_cast<IsoFile*>(node));
            if (iso_stream_open(stream) >= 0) {
                same = true;
                QByteArray onDisc(kCompareChunk, Qt::Uninitialized);
                while (same && !cancel_) {
                    const int count = iso_stream_read(stream, onDisc.data(), kCompareChunk);
                    if (count < 0) {
                        same = false;
                        break;
                    }
                    const QByteArray source = local.read(kCompareChunk);
                    // Streams deliver full chunks until the end.
                    same = source == QByteArrayView(onDisc.constData(), count);
                    verifiedAmount_ += count;
                    if (count == 0)
                        break;
                }
                iso_stream_close(stream);
            }
        }
        if (!same)
            failedFiles << i;
    }
    if (image)
        iso_image_unref(image);
    const bool stopped = cancel_;
    QMetaObject::invokeMethod(
        this,
        [this, failedFiles, stopped] {
            worker_.join();
            busy_ = false;
            for (int index : failedFiles)
                emit verifyDone(true, index);
            emit verifyDone(stopped || !failedFiles.isEmpty(), -1);
        },
        Qt::QueuedConnection);
}

void IsoburnDiscEngine::abortOperation() {
    if (busy_)
        cancel_ = true;
}

QString IsoburnDiscEngine::verifiedFileName(int index) const {
    return index >= 0 && index < written_.size() ? written_[index].localPath : QString();
}

} // namespace stowline::disc
