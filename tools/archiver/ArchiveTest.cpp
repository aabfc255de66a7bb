#include "archiver/ArchiveTest.h"

#include "archiver/ExitCode.h"
#include "archiver/StopRequest.h"
#include "archiver/Volumes.h"
#include "archiver/ZipReader.h"

#include <archive.h>
#include <archive_entry.h>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <vector>

namespace stowline::archiver {

namespace {

// Reads the current entry's data. A failure on the first block of an encrypted entry is
// the password's fault (the password check comes first); any later one is damage.
void readEntryData(archive* reader, archive_entry* entry, bool firstBlockOnly, StopRequest& stop) {
    const std::string name =
        archive_entry_pathname_utf8(entry) ? archive_entry_pathname_utf8(entry) : "";
    const bool encrypted = archive_entry_is_data_encrypted(entry) > 0;
    bool first = true;
    for (;;) {
        stop.check();
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return;
        if (status != ARCHIVE_OK) {
            if (encrypted && first)
                throw ArchiverError(ExitCode::Password, "wrong password for \"" + name + "\" (" +
                                                            reasonOf(reader) + ")");
            throw ArchiverError(ExitCode::Checksum,
                                "checksum error in \"" + name + "\": " + reasonOf(reader));
        }
        if (firstBlockOnly)
            return;
        first = false;
    }
}

} // namespace

std::size_t testArchive(const PartedInput& input, const std::optional<std::string>& password,
                        const std::function<bool(std::string_view)>& wanted, StopRequest& stop) {
    ZipSource source(input);
    ReaderHandle reader = openZipReader(source, password);
    std::size_t tested = 0;
    for (;;) {
        stop.check();
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            return tested;
        if (status < ARCHIVE_WARN)
            throw ArchiverError(ExitCode::Checksum,
                                "the archive is damaged: " + reasonOf(reader.get()));
        const char* name = archive_entry_pathname_utf8(entry);
        if (!wanted(name ? name : ""))
            continue;
        if (archive_entry_is_data_encrypted(entry) > 0 && !password)
            throw ArchiverError(ExitCode::Password,
                                std::string("\"") + (name ? name : "") +
                                    "\" is encrypted and no password was given");
        readEntryData(reader.get(), entry, false, stop);
        ++tested;
    }
}

bool passwordOpens(const PartedInput& input, const std::string& password, const std::string& name,
                   StopRequest& stop) {
    ZipSource source(input);
    ReaderHandle reader = openZipReader(source, password);
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            return true;
        if (status < ARCHIVE_WARN)
            throw ArchiverError(ExitCode::Checksum,
                                "the archive is damaged: " + reasonOf(reader.get()));
        const char* entryName = archive_entry_pathname_utf8(entry);
        if (!entryName || name != entryName)
            continue;
        try {
            readEntryData(reader.get(), entry, true, stop);
            return true;
        } catch (const ArchiverError& error) {
            if (error.code() == ExitCode::Password)
                return false;
            throw;
        }
    }
}

} // namespace stowline::archiver
