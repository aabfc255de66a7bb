#include "archiver/Archiver.h"

#include "archiver/ArchiveName.h"
#include "archiver/ArchiveTest.h"
#include "archiver/EntryWriter.h"
#include "archiver/Extract.h"
#include "archiver/FileIo.h"
#include "archiver/NameMask.h"
#include "archiver/ParallelPacker.h"
#include "archiver/ProgressPipe.h"
#include "archiver/Reporter.h"
#include "archiver/Selection.h"
#include "archiver/StopRequest.h"
#include "archiver/Volumes.h"
#include "archiver/ZipDirectory.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <new>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace stowline::archiver {

namespace {

std::vector<std::string> namesAndListLines(const std::vector<std::string>& names,
                                           const std::vector<std::string>& lists,
                                           StopRequest& stop) {
    std::vector<std::string> all = names;
    for (const std::string& list : lists)
        for (std::string& line : readListFile(list, stop))
            all.push_back(std::move(line));
    return all;
}

MaskList diskMasks(const std::vector<std::string>& masks, const std::vector<std::string>& lists,
                   const std::string& currentFolder, StopRequest& stop) {
    MaskList result;
    for (const std::string& mask : namesAndListLines(masks, lists, stop))
        result.add(PathMask::forDisk(mask, currentFolder));
    return result;
}

MaskList archiveMasks(const std::vector<std::string>& masks, const std::vector<std::string>& lists,
                      StopRequest& stop) {
    MaskList result;
    for (const std::string& mask : namesAndListLines(masks, lists, stop))
        result.add(PathMask::forArchive(mask));
    return result;
}

bool archiveNameMatches(const MaskList& masks, const std::string& name) {
    std::string_view path = name;
    const bool folder = !path.empty() && path.back() == '/';
    if (folder)
        path.remove_suffix(1);
    return masks.matches(path, lastPart(path), folder);
}

// The comment file's first 65535 bytes, all a ZIP archive can hold; the rest of a longer
// file is not read.
std::optional<std::string> readComment(const CommandLine& line, Reporter& reporter,
                                       StopRequest& stop) {
    if (!line.commentFile)
        return std::nullopt;
    bool longer = false;
    std::string comment =
        readBoundedFile(*line.commentFile, "comment file", maxZipComment, longer, stop);
    if (longer)
        reporter.warning("the comment is longer than a ZIP archive allows; only its first 65535 "
                         "bytes are kept");
    return comment;
}

// An existing archive named on the command line, with ".zip" tried when the name has no
// extension.
std::pair<std::string, std::vector<std::string>> findExistingArchive(const std::string& name) {
    std::vector<std::string> files = findArchiveFiles(name);
    if (!files.empty())
        return {name, files};
    const std::string withExtension = withDefaultExtension(name);
    if (withExtension != name) {
        files = findArchiveFiles(withExtension);
        if (!files.empty())
            return {withExtension, files};
    }
    throw ArchiverError(ExitCode::Open, "cannot find the archive \"" + name + "\"");
}

std::string sizeText(std::uint64_t bytes) {
    char text[32];
    if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

// "name;3" is version 3 of "name" (kept by -ver).
struct VersionName {
    std::string base;
    unsigned number = 0;
};

std::optional<VersionName> splitVersion(const std::string& name) {
    const std::size_t semicolon = name.rfind(';');
    if (semicolon == std::string::npos || semicolon + 1 == name.size())
        return std::nullopt;
    VersionName version{name.substr(0, semicolon), 0};
    const char* first = name.data() + semicolon + 1;
    const char* last = name.data() + name.size();
    const auto [end, status] = std::from_chars(first, last, version.number);
    if (status != std::errc() || end != last || version.number == 0)
        return std::nullopt;
    return version;
}

// Allowing for the two-second steps of DOS times where the archive holds nothing finer.
bool isNewer(const FileState& file, const ZipEntry& archived) {
    return file.modified > archived.modified + (archived.modifiedExact ? 0 : 1);
}

bool differs(const ZipEntry& older, const ZipEntry& newer) {
    if (older.size != newer.size || (older.crc != 0 && newer.crc != 0 && older.crc != newer.crc))
        return true;
    const std::time_t apart = older.modified > newer.modified ? older.modified - newer.modified
                                                              : newer.modified - older.modified;
    return apart > (older.modifiedExact ? 0 : 2);
}

// Overwrites the file's contents with zeros and flushes them to the disk.
bool wipeContents(const std::string& path, std::int64_t size) {
    const FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file.valid())
        return false;
    const std::vector<char> zeros(1 << 20, 0);
    std::int64_t done = 0;
    while (done < size) {
        const std::size_t chunk = static_cast<std::size_t>(
            std::min<std::int64_t>(size - done, static_cast<std::int64_t>(zeros.size())));
        const ssize_t written = ::write(file.get(), zeros.data(), chunk);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return ::fsync(file.get()) == 0;
}

// Removes what was archived whole (-df), wiping file contents first (-dw). A file is only
// removed while it is still the file that was archived.
void removeArchivedSources(const std::vector<SourceItem>& items,
                           const std::vector<AddResult>& results, SourceDeletion deletion,
                           Reporter& reporter, StopRequest& stop) {
    for (std::size_t index = 0; index < items.size(); ++index) {
        const SourceItem& item = items[index];
        if (item.kind == SourceItem::Kind::Folder || !item.removable ||
            results[index] == AddResult::Skipped)
            continue;
        stop.check();
        if (results[index] == AddResult::Changed) {
            reporter.warning("\"" + item.path + "\" changed while it was archived; not deleted");
            continue;
        }
        struct stat now {};
        if (::lstat(item.path.c_str(), &now) != 0)
            continue;
        if (now.st_dev != item.state.device || now.st_ino != item.state.inode ||
            (item.kind == SourceItem::Kind::File &&
             (now.st_size != item.state.size || now.st_mtim.tv_sec != item.state.modified ||
              now.st_mtim.tv_nsec != item.state.modifiedNanoseconds))) {
            reporter.warning("\"" + item.path + "\" changed after it was archived; not deleted");
            continue;
        }
        // Wiping a file with further hard links would destroy the data under its other
        // names: only this name is removed then.
        if (deletion == SourceDeletion::Wipe && S_ISREG(now.st_mode) && now.st_nlink == 1 &&
            !wipeContents(item.path, now.st_size))
            reporter.warning("cannot overwrite \"" + item.path + "\": " + errorText(errno));
        if (::unlink(item.path.c_str()) != 0)
            reporter.warning("cannot delete \"" + item.path + "\": " + errorText(errno));
    }
    // Deepest folders first; one that still holds something it kept stays.
    for (auto item = items.rbegin(); item != items.rend(); ++item)
        if (item->kind == SourceItem::Kind::Folder && item->removable)
            ::rmdir(item->path.c_str());
}

class AddCommand {
public:
    AddCommand(const CommandLine& line, Reporter& reporter, StopRequest& stop,
               ProgressPipe& progress)
        : line_(line), reporter_(reporter), stop_(stop), progress_(progress) {}

    void run();

private:
    // What writeAndReplace put in place of the archive.
    struct WrittenArchive {
        std::uint64_t bytes = 0;
        std::size_t volumes = 0;
    };

    std::string archiveName() const;
    void prepareArchiveFolder();
    SelectionOptions selectionOptions() const;
    void readOldArchive(SelectionOptions& options);
    void selectAndPlan(const SelectionOptions& options);
    bool nothingChanges() const;
    std::uint64_t bytesToAdd() const;
    void keepUnchangedArchive();
    WrittenArchive writeAndReplace();
    void checkWritten(const std::vector<std::string>& files);
    void reportAdded(const WrittenArchive& written);
    void checkPassword();
    void plan();
    void writeNewArchive(VolumeWriter& volumes);
    void writeUpdatedArchive(VolumeWriter& volumes, WorkFolder& work);
    void addItems(EntryWriter& writer);
    unsigned compressionThreads() const;

    const CommandLine& line_;
    Reporter& reporter_;
    StopRequest& stop_;
    ProgressPipe& progress_;
    std::time_t now_ = std::time(nullptr);
    std::string archivePath_;
    std::vector<std::string> oldFiles_;
    std::optional<PartedInput> oldInput_;
    ZipDirectory oldDirectory_;
    std::optional<std::string> comment_;
    Selection selection_;
    std::vector<std::size_t> toAdd_;
    std::vector<bool> dropOld_;
    std::vector<AddResult> results_;
    std::set<std::string> written_;
};

std::string AddCommand::archiveName() const {
    const std::string path = withDefaultExtension(line_.archive);
    if (!line_.dateMask)
        return path;
    std::tm local{};
    localtime_r(&now_, &local);
    return applyDateMask(path, *line_.dateMask, local, [](const std::string& name) {
        return pathExists(name) || !findArchiveFiles(name).empty();
    });
}

void AddCommand::checkPassword() {
    // New entries must not end up under another password than the ones already there.
    for (const ZipEntry& entry : oldDirectory_.entries)
        if (entry.isEncrypted() && !entry.isFolder()) {
            if (!passwordOpens(*oldInput_, *line_.password, entry.name, stop_))
                throw ArchiverError(ExitCode::Password, "the password does not open the archive");
            return;
        }
}

void AddCommand::plan() {
    const std::vector<SourceItem>& items = selection_.items;
    dropOld_.assign(oldDirectory_.entries.size(), false);
    std::map<std::string, std::size_t> oldByName;
    for (std::size_t index = 0; index < oldDirectory_.entries.size(); ++index)
        oldByName.emplace(oldDirectory_.entries[index].name, index);

    std::set<std::string> selected;
    for (std::size_t index = 0; index < items.size(); ++index) {
        const SourceItem& item = items[index];
        if (item.storedName.empty())
            continue;
        const std::string name = entryName(item);
        selected.insert(name);
        const auto old = oldByName.find(name);
        if (old == oldByName.end()) {
            if (!line_.onlyExisting)
                toAdd_.push_back(index);
        } else if (item.kind != SourceItem::Kind::Folder &&
                   (!line_.onlyNewer || isNewer(item.state, oldDirectory_.entries[old->second]))) {
            toAdd_.push_back(index);
        }
    }
    if (!line_.synchronize || !oldInput_)
        return;
    if (!selection_.complete) {
        reporter_.warning(
            "not all names were found, so no file was removed from the archive (-as)");
        return;
    }
    for (std::size_t index = 0; index < oldDirectory_.entries.size(); ++index) {
        const std::string& name = oldDirectory_.entries[index].name;
        const std::optional<VersionName> version = splitVersion(name);
        dropOld_[index] = !selected.count(version ? version->base : name);
    }
}

void AddCommand::addItems(EntryWriter& writer) {
    results_.assign(selection_.items.size(), AddResult::Skipped);
    const auto done = [this](std::size_t index, AddResult result) {
        results_[index] = result;
        if (result != AddResult::Skipped)
            written_.insert(entryName(selection_.items[index]));
    };
    // Encrypted and stored entries keep the one-thread path: encryption runs through each
    // entry in order, and storing has nothing to share out.
    const unsigned threads = compressionThreads();
    if (threads > 1 && !line_.password && line_.level > 0) {
        ParallelPacker packer(writer, zlibLevel(line_.level), threads, reporter_, stop_, progress_);
        packer.add(selection_.items, toAdd_, done);
        return;
    }
    for (std::size_t index : toAdd_) {
        const SourceItem& item = selection_.items[index];
        progress_.beginItem(
            item.kind == SourceItem::Kind::File ? static_cast<std::uint64_t>(item.state.size) : 0);
        done(index, writer.add(item));
        progress_.endItem();
    }
}

unsigned AddCommand::compressionThreads() const {
    if (line_.threads > 0)
        return line_.threads;
    return std::clamp(std::thread::hardware_concurrency(), 1u, maxThreads);
}

void AddCommand::writeNewArchive(VolumeWriter& volumes) {
    EntryWriter writer(volumes, line_.level, line_.password, reporter_, stop_, progress_);
    addItems(writer);
    if (written_.empty())
        throw ArchiverError(ExitCode::NoFiles, "no file could be archived");
    writer.finish(comment_.value_or(std::string()));
}

void AddCommand::writeUpdatedArchive(VolumeWriter& volumes, WorkFolder& work) {
    // New entries are written on their own first; then old and new entries are copied
    // as they are into the new archive, so nothing already archived is packed again.
    VolumeWriter fresh(work.path("new.zip"), 0, stop_);
    {
        EntryWriter writer(fresh, line_.level, line_.password, reporter_, stop_, progress_);
        addItems(writer);
        writer.finish({});
    }
    fresh.finish(false);
    const PartedInput freshInput(fresh.files());
    const ZipDirectory freshDirectory = readZipDirectory(freshInput);
    std::map<std::string, const ZipEntry*> freshByName;
    for (const ZipEntry& entry : freshDirectory.entries)
        freshByName.emplace(entry.name, &entry);

    // With -ver a replaced file that really changed moves to name;1, older versions move
    // one number up, and those beyond the limit go.
    std::set<std::string> newVersion;
    if (line_.keepVersions)
        for (const ZipEntry& entry : oldDirectory_.entries)
            if (const auto fresh = freshByName.find(entry.name);
                fresh != freshByName.end() && !entry.isFolder() && differs(entry, *fresh->second))
                newVersion.insert(entry.name);
    const auto versionKept = [this](unsigned number) {
        return line_.maxVersions == 0 || number <= line_.maxVersions;
    };

    ZipAssembler assembler(volumes, stop_);
    for (std::size_t index = 0; index < oldDirectory_.entries.size(); ++index) {
        const ZipEntry& entry = oldDirectory_.entries[index];
        if (dropOld_[index])
            continue;
        if (const std::optional<VersionName> version = splitVersion(entry.name);
            version && newVersion.count(version->base)) {
            if (versionKept(version->number + 1))
                assembler.copyEntry(*oldInput_, entry,
                                    version->base + ";" + std::to_string(version->number + 1));
        } else if (freshByName.count(entry.name)) {
            if (newVersion.count(entry.name) && versionKept(1))
                assembler.copyEntry(*oldInput_, entry, entry.name + ";1");
        } else {
            assembler.copyEntry(*oldInput_, entry);
        }
    }
    for (const ZipEntry& entry : freshDirectory.entries)
        assembler.copyEntry(freshInput, entry);
    assembler.finish(comment_ ? *comment_ : oldDirectory_.comment);
}

void AddCommand::run() {
    prepareArchiveFolder();
    comment_ = readComment(line_, reporter_, stop_);
    SelectionOptions options = selectionOptions();
    readOldArchive(options);
    selectAndPlan(options);
    if (nothingChanges()) {
        keepUnchangedArchive();
        progress_.finish();
        return;
    }
    progress_.start(bytesToAdd());
    const WrittenArchive written = writeAndReplace();
    if (line_.deletion != SourceDeletion::Keep)
        removeArchivedSources(selection_.items, results_, line_.deletion, reporter_, stop_);
    progress_.finish();
    reportAdded(written);
}

void AddCommand::prepareArchiveFolder() {
    archivePath_ = archiveName();
    reporter_.setArchive(archivePath_);
    const std::string folder = folderOf(archivePath_);
    if (!makeFolders(folder))
        throw ArchiverError(ExitCode::Create,
                            "cannot create the folder \"" + folder + "\": " + errorText(errno));
}

SelectionOptions AddCommand::selectionOptions() const {
    const std::string current = currentFolder();
    SelectionOptions options;
    options.names = namesAndListLines(line_.names, line_.nameLists, stop_);
    options.pathMode = line_.pathMode;
    options.recurse = line_.recurse;
    options.exclude = diskMasks(line_.excludeMasks, line_.excludeLists, current, stop_);
    options.filter = diskMasks(line_.filterMasks, line_.filterLists, current, stop_);
    options.currentFolder = current;
    if (line_.olderThanSeconds)
        options.modifiedBefore = now_ - *line_.olderThanSeconds;
    return options;
}

// The archive being updated, if there is one; its own files are never archived into it.
void AddCommand::readOldArchive(SelectionOptions& options) {
    oldFiles_ = findArchiveFiles(archivePath_);
    if (oldFiles_.empty()) {
        if (line_.onlyExisting)
            throw ArchiverError(ExitCode::NoFiles,
                                "there is no archive whose files could be freshened");
        return;
    }
    oldInput_.emplace(oldFiles_);
    oldDirectory_ = readZipDirectory(*oldInput_);
    for (const auto& identity : oldInput_->identities())
        options.leaveOut.insert(identity);
    if (line_.password)
        checkPassword();
}

void AddCommand::selectAndPlan(const SelectionOptions& options) {
    selection_ = selectSources(options, reporter_, stop_);
    if (std::none_of(selection_.items.begin(), selection_.items.end(),
                     [](const SourceItem& item) { return !item.storedName.empty(); }))
        throw ArchiverError(ExitCode::NoFiles, "no files to archive");
    plan();
}

bool AddCommand::nothingChanges() const {
    const bool dropsSomething = std::find(dropOld_.begin(), dropOld_.end(), true) != dropOld_.end();
    const bool commentChanges = comment_ && *comment_ != oldDirectory_.comment;
    return oldInput_ && toAdd_.empty() && !dropsSomething && !commentChanges;
}

std::uint64_t AddCommand::bytesToAdd() const {
    std::uint64_t total = 0;
    for (std::size_t index : toAdd_)
        if (selection_.items[index].kind == SourceItem::Kind::File)
            total += static_cast<std::uint64_t>(selection_.items[index].state.size);
    return total;
}

void AddCommand::keepUnchangedArchive() {
    if (line_.testAfter)
        testArchive(
            *oldInput_, line_.password, [](std::string_view) { return true; }, stop_);
    reporter_.info(archivePath_ + ": up to date");
}

// The new archive is written in a work folder, checked and then renamed into place.
AddCommand::WrittenArchive AddCommand::writeAndReplace() {
    WorkFolder work(folderOf(archivePath_));
    const std::uint64_t volumeSize =
        line_.volumeSize.value_or(oldInput_ ? oldInput_->volumeSize() : 0);
    VolumeWriter volumes(work.path("archive"), volumeSize, stop_);
    if (oldInput_)
        writeUpdatedArchive(volumes, work);
    else
        writeNewArchive(volumes);
    // Flushed to the disk before it replaces an archive or before files are deleted.
    const bool sync = oldInput_.has_value() || line_.deletion != SourceDeletion::Keep;
    volumes.finish(sync);
    checkWritten(volumes.files());
    stop_.check();
    replaceArchive(volumes.files(), archivePath_, oldFiles_, sync);
    return {volumes.written(), volumes.files().size()};
}

void AddCommand::checkWritten(const std::vector<std::string>& files) {
    const PartedInput result(files);
    readZipDirectory(result);
    if (line_.testAfter)
        testArchive(
            result, line_.password, [](std::string_view) { return true; }, stop_);
    else if (line_.deletion != SourceDeletion::Keep)
        testArchive(
            result, line_.password,
            [this](std::string_view name) { return written_.count(std::string(name)) > 0; }, stop_);
}

void AddCommand::reportAdded(const WrittenArchive& written) {
    reporter_.info(archivePath_ + ": " + std::to_string(written_.size()) + " added, " +
                   sizeText(written.bytes) +
                   (written.volumes > 1 ? " in " + std::to_string(written.volumes) + " volumes"
                                        : std::string()));
}

void deleteFromArchive(const CommandLine& line, Reporter& reporter, StopRequest& stop) {
    const auto [archivePath, files] = findExistingArchive(line.archive);
    reporter.setArchive(archivePath);
    const PartedInput input(files);
    const ZipDirectory directory = readZipDirectory(input);
    const MaskList masks = archiveMasks(line.names, line.nameLists, stop);
    const MaskList exclude = archiveMasks(line.excludeMasks, line.excludeLists, stop);
    std::optional<std::time_t> modifiedBefore;
    if (line.olderThanSeconds)
        modifiedBefore = std::time(nullptr) - *line.olderThanSeconds;

    std::vector<bool> remove(directory.entries.size(), false);
    std::size_t removed = 0;
    for (std::size_t index = 0; index < directory.entries.size(); ++index) {
        const ZipEntry& entry = directory.entries[index];
        remove[index] = archiveNameMatches(masks, entry.name) &&
                        !archiveNameMatches(exclude, entry.name) &&
                        (!modifiedBefore || entry.modified < *modifiedBefore);
        removed += remove[index] ? 1 : 0;
    }
    std::optional<std::string> comment = readComment(line, reporter, stop);
    if (removed == 0 && !comment) {
        reporter.info(archivePath + ": nothing to delete");
        return;
    }

    WorkFolder work(folderOf(archivePath));
    VolumeWriter volumes(work.path("archive"), line.volumeSize.value_or(input.volumeSize()), stop);
    ZipAssembler assembler(volumes, stop);
    for (std::size_t index = 0; index < directory.entries.size(); ++index)
        if (!remove[index])
            assembler.copyEntry(input, directory.entries[index]);
    assembler.finish(comment ? *comment : directory.comment);
    volumes.finish(true);
    const PartedInput result(volumes.files());
    readZipDirectory(result);
    if (line.testAfter)
        testArchive(
            result, line.password, [](std::string_view) { return true; }, stop);
    stop.check();
    replaceArchive(volumes.files(), archivePath, files, true);
    reporter.info(archivePath + ": " + std::to_string(removed) + " deleted");
}

void testExistingArchive(const CommandLine& line, Reporter& reporter, StopRequest& stop) {
    const auto [archivePath, files] = findExistingArchive(line.archive);
    reporter.setArchive(archivePath);
    const PartedInput input(files);
    readZipDirectory(input);
    const MaskList masks = archiveMasks(line.names, line.nameLists, stop);
    const MaskList exclude = archiveMasks(line.excludeMasks, line.excludeLists, stop);
    const std::size_t tested = testArchive(
        input, line.password,
        [&](std::string_view name) {
            const std::string entry(name);
            return (masks.empty() || archiveNameMatches(masks, entry)) &&
                   !archiveNameMatches(exclude, entry);
        },
        stop);
    reporter.info(archivePath + ": " + std::to_string(tested) + " entries tested, all OK");
}

void extractFromArchive(const CommandLine& line, Reporter& reporter, StopRequest& stop,
                        ProgressPipe& progress) {
    const auto [archivePath, files] = findExistingArchive(line.archive);
    reporter.setArchive(archivePath);
    const PartedInput input(files);
    const MaskList masks = archiveMasks(line.names, line.nameLists, stop);
    const MaskList exclude = archiveMasks(line.excludeMasks, line.excludeLists, stop);
    std::string folder = line.destination.empty() ? std::string(".") : line.destination;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const ExtractionResult result = extractArchive(
        input, folder, line.password, line.existing,
        [&](std::string_view name) {
            const std::string entry(name);
            return (masks.empty() || archiveNameMatches(masks, entry)) &&
                   !archiveNameMatches(exclude, entry);
        },
        reporter, stop, progress);
    reporter.info(archivePath + ": " + std::to_string(result.files) + " files, " +
                  std::to_string(result.folders) + " folders and " + std::to_string(result.links) +
                  " links extracted to " + folder);
}

} // namespace

ExitCode runCommand(const CommandLine& line, Reporter& reporter, StopRequest& stop,
                    ProgressPipe& progress) {
    try {
        switch (line.command) {
        case Command::Add:
            AddCommand(line, reporter, stop, progress).run();
            break;
        case Command::Delete:
            deleteFromArchive(line, reporter, stop);
            break;
        case Command::Test:
            testExistingArchive(line, reporter, stop);
            break;
        case Command::Extract:
            extractFromArchive(line, reporter, stop, progress);
            break;
        }
    } catch (const ArchiverError& error) {
        reporter.error(error.code(), error.what());
    } catch (const StopRequested&) {
        reporter.error(ExitCode::UserBreak, "stopped by the user");
    } catch (const std::bad_alloc&) {
        reporter.error(ExitCode::Memory, "not enough memory");
    } catch (const std::exception& error) {
        reporter.error(ExitCode::Fatal, error.what());
    }
    return reporter.exitCode();
}

} // namespace stowline::archiver
