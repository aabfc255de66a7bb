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
        readEntryBlocks(reader.get(), entry, stop,
                        [](const void*, std::size_t, la_int64_t) { return true; });
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
            // The first block proves the password.
            readEntryBlocks(reader.get(), entry, stop,
                            [](const void*, std::size_t, la_int64_t) { return false; });
            return true;
        } catch (const ArchiverError& error) {
            if (error.code() == ExitCode::Password)
                return false;
            throw;
        }
    }
}

} // namespace stowline::archiver
