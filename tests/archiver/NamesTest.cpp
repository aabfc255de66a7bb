#include "archiver/ArchiveName.h"
#include "archiver/NameMask.h"

#include <gtest/gtest.h>

#include <set>

namespace stowline::archiver {
namespace {

TEST(Wildcards, Match) {
    struct Case {
        const char* mask;
        const char* text;
        bool matches;
    };
    const Case cases[] = {
        {"*.bak", "a.bak", true},
        {"*.bak", "a.bak.txt", false},
        {"*.*", "README", true}, // "*.*" is every name
        {"*.*", "a.txt", true},
        {"a*.*", "abc", true},
        {"a*.*", "bcd", false},
        {"*.~*", "doc.~1", true},
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"?.txt", "\xC3\xA9.txt", true}, // one character, two bytes
        {"*/tmp", "/home/u/tmp", true},
        {"/home/*.log", "/home/u/deep/x.log", true}, // '*' crosses folders
        {"A.TXT", "a.txt", false},                   // case counts
        {"", "", true},
        {"*", "", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wildcardMatch(c.mask, c.text), c.matches) << c.mask << " / " << c.text;
}

TEST(PathMasks, OnDisk) {
    struct Case {
        const char* mask;
        const char* path;
        bool folder;
        bool matches;
    };
    const Case cases[] = {
        {"*.bak", "/d/sub/x.bak", false, true}, // a name mask applies at any depth
        {"*.bak", "/d/sub.bak", true, false},   // wildcard masks skip folders...
        {"*tmp*/", "/d/mytmp", true, true},     // ...unless they end in '/'
        {"*tmp*/", "/d/mytmp", false, false},   // which skips files
        {"cache", "/d/a/cache", true, true},    // a plain name: files and folders
        {"cache", "/d/a/cache", false, true},
        {"/d/private", "/d/private", true, true}, // an absolute path
        {"/d/private", "/d/private2", true, false},
        {"/d/*.tmp", "/d/x/y.tmp", false, true},
        {"*/temp/", "/a/b/temp", true, true},         // every temp folder
        {"sub/x.txt", "/cwd/sub/x.txt", false, true}, // relative to the current folder
        {"sub/x.txt", "/other/sub/x.txt", false, false},
        {"./sub/../x.txt", "/cwd/x.txt", false, true},
    };
    for (const Case& c : cases) {
        const PathMask mask = PathMask::forDisk(c.mask, "/cwd");
        const std::string path = c.path;
        EXPECT_EQ(mask.matches(path, path.substr(path.rfind('/') + 1), c.folder), c.matches)
            << c.mask << " / " << c.path;
    }
}

TEST(PathMasks, InArchive) {
    EXPECT_TRUE(PathMask::forArchive("*.*").matches("a/b", "b", true));
    EXPECT_TRUE(PathMask::forArchive("*.txt").matches("a/b.txt", "b.txt", false));
    EXPECT_TRUE(PathMask::forArchive("a/*").matches("a/b/c", "c", false));
    EXPECT_FALSE(PathMask::forArchive("b/*").matches("a/b/c", "c", false));
}

TEST(PathMasks, NormalizePath) {
    EXPECT_EQ(normalizePath("/a//b/./c/"), "/a/b/c");
    EXPECT_EQ(normalizePath("a/../../b"), "../b");
    EXPECT_EQ(normalizePath("/../x"), "/x");
    EXPECT_EQ(normalizePath(""), "");
}

std::tm sampleTime() {
    // Friday 7 March 2025, 09:05:04 (ISO week 10, day 66 of the year).
    std::tm time{};
    time.tm_year = 125;
    time.tm_mon = 2;
    time.tm_mday = 7;
    time.tm_hour = 9;
    time.tm_min = 5;
    time.tm_sec = 4;
    time.tm_wday = 5;
    time.tm_yday = 65;
    return time;
}

TEST(ArchiveNames, DateMasks) {
    struct Case {
        const char* mask;
        const char* text;
    };
    const Case cases[] = {
        {"-YYMMDDHHMMSS", "-250307090504"},
        {"YYYYMMDDHHMMSS", "20250307090504"},
        {"DD-MMM-YYYY", "07-Mar-2025"},
        {"yyyy{year}-WW{week}-A{wday}", "2025year-10week-5wday"},
        {"YYYYMMDDHHMM", "202503070905"},
        {"HH:II", "09:05"},
        {"EEE", "066"},
        {"Y_D", "5_7"},
        {"{unclosed", "unclosed"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatDateMask(c.mask, sampleTime(), 1), c.text) << c.mask;
}

TEST(ArchiveNames, WhereTheDateGoes) {
    const auto none = [](const std::string&) { return false; };
    EXPECT_EQ(applyDateMask("/t/docs.zip", "-YYMMDD", sampleTime(), none), "/t/docs-250307.zip");
    EXPECT_EQ(applyDateMask("/t/keeper.rar", "YYYY", sampleTime(), none), "/t/keeper2025.rar");
    EXPECT_EQ(applyDateMask("/t/docs.zip", "+YYYY-", sampleTime(), none), "/t/2025-docs.zip");
}

TEST(ArchiveNames, NumberCountsUpToAFreeName) {
    const std::set<std::string> taken{"/t/b-01.zip", "/t/b-02.zip"};
    const auto isTaken = [&](const std::string& name) { return taken.count(name) > 0; };
    EXPECT_EQ(applyDateMask("/t/b.zip", "-NN", sampleTime(), isTaken), "/t/b-03.zip");
}

TEST(ArchiveNames, Extensions) {
    EXPECT_EQ(withDefaultExtension("/t/docs"), "/t/docs.zip");
    EXPECT_EQ(withDefaultExtension("/t/keeper.rar"), "/t/keeper.rar");
    EXPECT_EQ(withDefaultExtension("/t.d/docs"), "/t.d/docs.zip");
    EXPECT_EQ(withDefaultExtension("/t/.hidden"), "/t/.hidden.zip");
}

TEST(ArchiveNames, Volumes) {
    EXPECT_EQ(volumeName("/t/a.zip", 1), "/t/a.zip.001");
    EXPECT_EQ(volumeName("/t/a.zip", 999), "/t/a.zip.999");
    EXPECT_EQ(volumeName("/t/a.zip", 1000), "/t/a.zip.1000");
}

} // namespace
} // namespace stowline::archiver
