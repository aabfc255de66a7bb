// stowarc run as a process on temporary folders; results are read back with bsdtar and
// unzip, which nobody here wrote.

#include "ProcessHarness.h"

#include <algorithm>
#include <ctime>
#include <regex>
#include <sys/stat.h>

namespace stowline::archiver::testing {
namespace {

class Archiving : public ArchiverProcess {
protected:
    void SetUp() override {
        ArchiverProcess::SetUp();
        write("src/docs/a.txt", "alpha\n");
        write("src/docs/b.bak", "backup copy\n");
        write("src/docs/sub/c.txt", std::string(20000, 'c'));
        fs::create_directories(path("src/docs/empty"));
        // A pipe would block a reader for ever: it must be passed over.
        ASSERT_EQ(::mkfifo(path("src/docs/pipe").c_str(), 0644), 0);
        docs_ = path("src/docs");
        include_ = writeList("data/presets/Docs.inc", {docs_});
        exclude_ = writeList("data/presets/Docs.exc", {"*.bak"});
        log_ = path("data/winrar.log");
    }

    std::string docs_;
    std::string include_;
    std::string exclude_;
    std::string log_;
};

TEST_F(Archiving, DefaultPresetIntoTheRunFolder) {
    const std::string run = path("tmp/QWERTYUI");
    fs::create_directories(run);
    const std::time_t before = std::time(nullptr);
    const ProcessResult result =
        stowarc({"a", "-CFG-", "-ag-YYMMDDHHMMSS", "-v", "-m0", "-ep1", "-s", "-dh", "-r", "-INUL",
                 "-ILOG" + log_, "-x@" + exclude_, run + "/docs", "@" + include_});
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.empty() && result.err.empty()) << "-INUL prints nothing";
    EXPECT_FALSE(fs::exists(log_)) << "no error, no log line";

    // One archive, named with the date stamp of the run and nothing else in the folder.
    const std::set<std::string> files = filesIn(run);
    ASSERT_EQ(files.size(), 1u);
    const std::string name = *files.begin();
    std::smatch stamp;
    ASSERT_TRUE(std::regex_match(name, stamp, std::regex(R"(docs-(\d{12})\.zip)"))) << name;
    std::set<std::string> possible;
    for (std::time_t t = before; t <= after; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        char text[16];
        std::strftime(text, sizeof text, "%y%m%d%H%M%S", &local);
        possible.insert(text);
    }
    EXPECT_TRUE(possible.count(stamp[1])) << stamp[1];

    const std::string archive = run + "/" + name;
    EXPECT_EQ(listed(archive), (std::set<std::string>{"docs/", "docs/a.txt", "docs/empty/",
                                                      "docs/sub/", "docs/sub/c.txt"}));
    // -m0 stores, and unzip extracts the same paths.
    EXPECT_NE(tool({"/usr/bin/unzip", "-v", archive}).out.find("Stored"), std::string::npos);
    ASSERT_EQ(tool({"/usr/bin/unzip", "-q", archive, "-d", path("out")}).exitCode, 0);
    EXPECT_EQ(read(path("out/docs/sub/c.txt")), std::string(20000, 'c'));
    EXPECT_TRUE(fs::is_directory(path("out/docs/empty")));
}

TEST_F(Archiving, DirectArchivingWithCommentFilterAndUpdates) {
    const std::string comment = write("data/presets/Docs.cmt", "Weekly docs\r\nsecond line\r\n");
    const std::string filter = writeList("data/presets/Docs.flt", {"*.txt"});
    const std::vector<std::string> line{"a",
                                        "-v100m",
                                        "-u",
                                        "-as",
                                        "-m5",
                                        "-ma5",
                                        "-md1024k",
                                        "-ep",
                                        "-k",
                                        "-s",
                                        "-dh",
                                        "-r",
                                        "-vd",
                                        "-rr3%",
                                        "-z" + comment,
                                        "-ri8:10",
                                        "-ILOG" + log_,
                                        "-os",
                                        "-eHS",
                                        "-n@" + filter,
                                        "-x@" + exclude_,
                                        path("backup/docs"),
                                        "@" + include_};
    const std::string archive = path("backup/docs.zip");

    ProcessResult result = stowarc(line);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // -ep: names only; the filter keeps *.txt, so no folder entries either.
    EXPECT_EQ(listed(archive), (std::set<std::string>{"a.txt", "c.txt"}));
    // The comment is stored byte for byte at the end of the archive, where unzip shows it.
    const std::string bytes = read(archive);
    EXPECT_EQ(bytes.substr(bytes.size() - read(comment).size()), read(comment));
    EXPECT_NE(tool({"/usr/bin/unzip", "-z", archive}).out.find("Weekly docs"), std::string::npos);
    EXPECT_NE(tool({"/usr/bin/unzip", "-v", archive}).out.find("Defl:"), std::string::npos);

    // Nothing changed: the archive is left as it is.
    const auto written = fs::last_write_time(archive);
    const std::string before = read(archive);
    ASSERT_EQ(stowarc(line).exitCode, 0);
    EXPECT_EQ(read(archive), before);
    EXPECT_EQ(fs::last_write_time(archive), written);

    // A newer file is replaced, a new one added, a removed one dropped (-as).
    write("src/docs/a.txt", "alpha, revised\n");
    fs::last_write_time(path("src/docs/a.txt"),
                        fs::file_time_type::clock::now() + std::chrono::seconds(10));
    write("src/docs/d.txt", "delta\n");
    fs::remove(path("src/docs/sub/c.txt"));
    result = stowarc(line);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(listed(archive), (std::set<std::string>{"a.txt", "d.txt"}));
    EXPECT_EQ(extracted(archive, "a.txt"), "alpha, revised\n");
    EXPECT_NE(tool({"/usr/bin/unzip", "-z", archive}).out.find("Weekly docs"), std::string::npos);
    EXPECT_EQ(tool({"/usr/bin/unzip", "-tq", archive}).exitCode, 0);
    EXPECT_EQ(filesIn(path("backup")), std::set<std::string>{"docs.zip"});
}

TEST_F(Archiving, PathModes) {
    const std::string root = docs_.substr(1); // the full path as stored: no leading '/'
    struct Case {
        std::vector<std::string> switches;
        std::string name;
        std::set<std::string> expected;
    };
    const std::vector<Case> cases{
        {{"-ep1"}, docs_, {"docs/", "docs/a.txt", "docs/empty/", "docs/sub/", "docs/sub/c.txt"}},
        {{"-ep1"}, docs_ + "/", {"a.txt", "empty/", "sub/", "sub/c.txt"}},
        {{"-ep1", "-r"}, docs_ + "/*.txt", {"a.txt", "sub/c.txt"}},
        {{"-ep1"}, docs_ + "/*.txt", {"a.txt"}}, // a mask without -r stays in its folder
        {{"-ep"}, docs_, {"a.txt", "c.txt"}},
        {{"-ep2"},
         docs_,
         {root + "/", root + "/a.txt", root + "/empty/", root + "/sub/", root + "/sub/c.txt"}},
        {{"-ep3"}, docs_ + "/sub", {root + "/sub/", root + "/sub/c.txt"}},
        {{}, "src/docs/sub", {"src/docs/sub/", "src/docs/sub/c.txt"}}, // relative, as given
        {{}, "./src/../src/docs/sub/c.txt", {"src/docs/sub/c.txt"}},   // cleaned
        {{"-ep1"}, "src/docs/sub/c.txt", {"c.txt"}},
        {{}, docs_ + "/sub", {root + "/sub/", root + "/sub/c.txt"}}, // absolute: no root
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& c = cases[index];
        const std::string archive = path("modes/" + std::to_string(index) + ".zip");
        std::vector<std::string> arguments{"a", "-x*.bak"};
        arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
        arguments.insert(arguments.end(), {archive, c.name});
        const ProcessResult result = stowarc(arguments);
        ASSERT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
        EXPECT_EQ(listed(archive), c.expected) << "case " << index << ": " << c.name;
    }
}

TEST_F(Archiving, ExcludeAndFilterLists) {
    write("src/docs/keep.log", "log\n");
    write("src/docs/tmp/x.txt", "x\n");
    write("src/docs/sub/tmp/y.txt", "y\n");
    write("src/docs/sub/z.doc", "z\n");
    write("src/docs/private/p.txt", "p\n");
    struct Case {
        std::vector<std::string> exclude;
        std::vector<std::string> filter;
        std::set<std::string> expected;
    };
    const std::set<std::string> folders{"empty/", "private/", "sub/", "sub/tmp/", "tmp/"};
    const auto with = [&](std::set<std::string> files, const std::set<std::string>& extra) {
        files.insert(extra.begin(), extra.end());
        return files;
    };
    const std::vector<Case> cases{
        {{"*.bak"},
         {},
         with({"a.txt", "keep.log", "tmp/x.txt", "sub/tmp/y.txt", "sub/z.doc", "sub/c.txt",
               "private/p.txt"},
              folders)},
        {{"*.bak", "*/tmp/"},
         {},
         {"a.txt", "keep.log", "sub/z.doc", "sub/c.txt", "private/p.txt", "empty/", "private/",
          "sub/"}},
        {{"tmp", "*.bak", "*.log", "*.doc", "private"},
         {},
         {"a.txt", "sub/c.txt", "empty/", "sub/"}},
        {{docs_ + "/private", docs_ + "/sub/"}, {"*.txt"}, {"a.txt", "tmp/x.txt"}},
        {{"*.bak", "*.log"},
         {"*.txt"},
         {"a.txt", "tmp/x.txt", "sub/tmp/y.txt", "sub/c.txt", "private/p.txt"}},
        {{}, {"*.doc", "*.log"}, {"keep.log", "sub/z.doc"}},
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& c = cases[index];
        const std::string tag = std::to_string(index);
        const std::string exclude = writeList("lists/" + tag + ".exc", c.exclude);
        std::vector<std::string> arguments{"a", "-ep1", "-r", "-x@" + exclude};
        if (!c.filter.empty())
            arguments.push_back("-n@" + writeList("lists/" + tag + ".flt", c.filter));
        const std::string archive = path("masks/" + tag + ".zip");
        arguments.insert(arguments.end(),
                         {archive, "@" + writeList("lists/" + tag + ".inc", {docs_ + "/"})});
        const ProcessResult result = stowarc(arguments);
        ASSERT_EQ(result.exitCode, 0) << "case " << index << ": " << result.err;
        EXPECT_EQ(listed(archive), c.expected) << "case " << index;
    }
}

TEST_F(Archiving, PasswordEncryptsTheContents) {
    const std::string archive = path("out/secret.zip");
    ASSERT_EQ(stowarc({"a", "-ep1", "-r", "-m3", "-hpS3cret word", archive, docs_}).exitCode, 0);
    EXPECT_EQ(extracted(archive, "docs/a.txt", "S3cret word"), "alpha\n");
    EXPECT_NE(tool({"/usr/bin/unzip", "-v", archive}).out.find("Unk:099"), std::string::npos)
        << "AES entries (method 99)";
    EXPECT_NE(
        tool({"/usr/bin/bsdtar", "--passphrase", "wrong", "-xOf", archive, "docs/a.txt"}).exitCode,
        0);

    EXPECT_EQ(stowarc({"t", "-hpS3cret word", archive}).exitCode, 0);
    EXPECT_EQ(stowarc({"t", "-hpwrong", archive}).exitCode, 11);
    EXPECT_EQ(stowarc({"t", archive}).exitCode, 11);
    // Adding under another password would mix two passwords in one archive.
    const std::string before = read(archive);
    write("src/docs/n.txt", "new\n");
    EXPECT_EQ(stowarc({"a", "-ep1", "-r", "-hpother", archive, docs_}).exitCode, 11);
    EXPECT_EQ(read(archive), before);
    ASSERT_EQ(stowarc({"a", "-ep1", "-r", "-hpS3cret word", archive, docs_ + "/n.txt"}).exitCode,
              0);
    EXPECT_EQ(extracted(archive, "n.txt", "S3cret word"), "new\n");
    EXPECT_EQ(extracted(archive, "docs/a.txt", "S3cret word"), "alpha\n");
}

TEST_F(Archiving, VolumesRejoinToTheArchive) {
    writeNoise("src/docs/noise.bin", 100000);
    const std::string archive = path("vol/docs.zip");
    ProcessResult result = stowarc({"a", "-v20k", "-m5", "-ep1", "-r", "-t", archive, docs_});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::set<std::string> parts = filesIn(path("vol"));
    ASSERT_GE(parts.size(), 5u);
    std::string joined;
    unsigned index = 1;
    for (const std::string& part : parts) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "docs.zip.%03u", index++);
        EXPECT_EQ(part, expected);
        const std::string bytes = read(path("vol/" + part));
        if (index <= parts.size()) {
            EXPECT_EQ(bytes.size(), 20480u) << part;
        }
        joined += bytes;
    }
    write("joined.zip", joined);
    EXPECT_EQ(tool({"/usr/bin/unzip", "-tq", path("joined.zip")}).exitCode, 0);
    EXPECT_EQ(extracted(path("joined.zip"), "docs/noise.bin"), read(docs_ + "/noise.bin"));
    // The local headers hold the sizes too, even where the header and the end of the
    // data lie in different volumes.
    EXPECT_EQ(streamed(path("joined.zip"), "docs/noise.bin"), read(docs_ + "/noise.bin"));
    EXPECT_EQ(streamed(path("joined.zip"), "docs/sub/c.txt"), std::string(20000, 'c'));
    EXPECT_EQ(stowarc({"t", archive}).exitCode, 0) << "the set is read where it lies";

    // Updating a set keeps its volume size.
    write("src/docs/late.txt", "late\n");
    result = stowarc({"a", "-u", "-ep1", "-r", archive, docs_});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(fs::file_size(path("vol/docs.zip.001")), 20480u);
    EXPECT_EQ(stowarc({"t", archive, "docs/late.txt"}).exitCode, 0);

    // A set that fits in one volume is the archive itself; a bare -v splits nothing.
    ASSERT_EQ(stowarc({"a", "-v1m", "-ep1", path("one/small"), docs_ + "/a.txt"}).exitCode, 0);
    ASSERT_EQ(stowarc({"a", "-v", "-m0", "-ep1", path("one/big"), docs_}).exitCode, 0);
    EXPECT_EQ(filesIn(path("one")), (std::set<std::string>{"big.zip", "small.zip"}));
}

TEST_F(Archiving, LinksOddNamesAndTheArchiveItself) {
    fs::create_symlink("a.txt", path("src/docs/link"));
    write("src/docs/R\xC3\xA9sum\xC3\xA9.txt", "utf-8 name");
    write("src/docs/latin\xE9.txt", "a name that is not UTF-8");
    const std::string archive = docs_ + "/self.zip";
    ASSERT_EQ(stowarc({"a", "-ep1", "-r", archive, docs_ + "/"}).exitCode, 0);
    write("src/docs/second.txt", "2\n");
    ASSERT_EQ(stowarc({"a", "-ep1", "-r", archive, docs_ + "/"}).exitCode, 0);

    // listed() also fails the test when bsdtar cannot read every name.
    const std::set<std::string> names = listed(archive);
    EXPECT_FALSE(names.count("self.zip"));
    EXPECT_TRUE(names.count("second.txt"));
    EXPECT_EQ(extracted(archive, "R\xC3\xA9sum\xC3\xA9.txt"), "utf-8 name");
    EXPECT_EQ(names.size(), 9u) << "the name that is not UTF-8 is there too";
    EXPECT_NE(tool({"/usr/bin/bsdtar", "-tvf", archive}).out.find("link -> a.txt"),
              std::string::npos);
    EXPECT_TRUE(std::none_of(names.begin(), names.end(), [](const std::string& n) {
        return n.find(".stowarc") != std::string::npos;
    }));
}

} // namespace
} // namespace stowline::archiver::testing
