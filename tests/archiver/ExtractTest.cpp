// Extracting an archive back to disk: the tree comes back whole, a password is needed and
// checked, existing files are replaced only when asked, and nothing is written outside
// the target folder whatever the archive holds.

#include "ProcessHarness.h"

#include "archiver/Extract.h"

#include <fstream>
#include <sstream>

namespace stowline::archiver::testing {
namespace {

TEST(ExtractionPath, KeepsNamesInsideTheFolder) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"a/b.txt", "a/b.txt"},
        {"./a//b/./c.txt", "a/b/c.txt"},
        {"folder/", "folder"},
        {"dots..name/..x", "dots..name/..x"},
        {"../evil.txt", std::nullopt},
        {"a/../../evil.txt", std::nullopt},
        {"a/..", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"", std::nullopt},
        {"./", std::nullopt},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(extractionPath(name), expected) << name;
}

TEST(ExtractionPath, LinksMustResolveInsideTheFolder) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"link", "file.txt", true},
        {"a/link", "../file.txt", true},
        {"a/b/link", "../../c/./file.txt", true},
        {"link", "../file.txt", false},
        {"a/link", "../../file.txt", false},
        {"a/link", "x/../../../y", false},
        {"link", "/etc/passwd", false},
        {"link", "", false},
    };
    for (const auto& [path, target, inside] : cases)
        EXPECT_EQ(linkStaysInside(path, target), inside) << path << " -> " << target;
}

class Extract : public ArchiverProcess {
protected:
    // Every file and link under `folder` with its content or target, relative names.
    std::map<std::string, std::string> tree(const std::string& folder) const {
        std::map<std::string, std::string> found;
        for (const auto& item : fs::recursive_directory_iterator(folder)) {
            const std::string name = item.path().lexically_relative(folder).string();
            if (item.is_symlink())
                found[name] = "-> " + fs::read_symlink(item.path()).string();
            else if (item.is_directory())
                found[name + "/"] = "";
            else
                found[name] = read(item.path().string());
        }
        return found;
    }
    // A ZIP archive written by Python's zipfile: entries (name, content), and links
    // (name, target) stored the way Unix zip tools store them.
    std::string craft(const std::string& name,
                      const std::vector<std::pair<std::string, std::string>>& entries,
                      const std::vector<std::pair<std::string, std::string>>& links = {}) const {
        std::ostringstream script;
        script << "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w')\n";
        for (const auto& [entry, target] : links)
            script << "i = zipfile.ZipInfo(" << quoted(entry) << ")\n"
                   << "i.create_system = 3\ni.external_attr = 0o120777 << 16\n"
                   << "z.writestr(i, " << quoted(target) << ")\n";
        for (const auto& [entry, content] : entries)
            script << "z.writestr(" << quoted(entry) << ", " << quoted(content) << ")\n";
        script << "z.close()\n";
        const std::string scriptFile = write("craft.py", script.str());
        const std::string archive = path(name);
        const ProcessResult made = tool({"/usr/bin/python3", scriptFile, archive});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return archive;
    }
    static std::string quoted(const std::string& text) {
        std::string out = "'";
        for (const char c : text)
            out += c == '\'' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        return out + "'";
    }
};

TEST_F(Extract, TreeComesBackWithNamesContentsAndLinks) {
    write("src/docs/report.txt", "report");
    write("src/docs/Grüße – été/naïve ünïcödé.txt", "non-ASCII");
    writeNoise("src/data/big.bin", 3 << 20);
    write("src/data/empty.txt", "");
    fs::create_directories(path("src/empty folder"));
    fs::create_symlink("../docs/report.txt", path("src/data/report-link"));
    const std::string archive = path("arc.zip");
    ASSERT_EQ(stowarc({"a", "-r", "-ep1", archive, path("src") + "/"}).exitCode, 0);

    const ProcessResult result = stowarc({"x", archive, path("out") + "/"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(tree(path("out")), tree(path("src")));
    EXPECT_NE(result.out.find("extracted to"), std::string::npos) << result.out;
}

TEST_F(Extract, DefaultIsTheCurrentFolderAndNamesSelectEntries) {
    write("src/a.txt", "a");
    write("src/b.log", "b");
    const std::string archive = path("arc.zip");
    ASSERT_EQ(stowarc({"a", "-ep1", archive, path("src") + "/"}).exitCode, 0);
    fs::create_directories(path("here"));
    ASSERT_EQ(stowarc({"x", archive, "*.txt"}, inFolder(path("here"))).exitCode, 0);
    EXPECT_EQ(tree(path("here")), (std::map<std::string, std::string>{{"a.txt", "a"}}));
}

TEST_F(Extract, PasswordIsNeededAndChecked) {
    write("src/secret.txt", "classified");
    const std::string archive = path("arc.zip");
    ASSERT_EQ(stowarc({"a", "-hpRight", "-ep1", archive, path("src") + "/"}).exitCode, 0);

    EXPECT_EQ(stowarc({"x", archive, path("none") + "/"}).exitCode, 11);
    EXPECT_EQ(stowarc({"x", "-pWrong", archive, path("wrong") + "/"}).exitCode, 11);
    for (const char* folder : {"none", "wrong"})
        EXPECT_TRUE(!fs::exists(path(folder)) || fs::is_empty(path(folder))) << folder;
    ASSERT_EQ(stowarc({"x", "-pRight", archive, path("right") + "/"}).exitCode, 0);
    EXPECT_EQ(read(path("right/secret.txt")), "classified");
}

TEST_F(Extract, ExistingFilesAreReplacedOnlyWhenAsked) {
    write("src/f.txt", "new");
    write("src/g.txt", "new too");
    const std::string archive = path("arc.zip");
    ASSERT_EQ(stowarc({"a", "-ep1", archive, path("src") + "/"}).exitCode, 0);
    struct Case {
        std::vector<std::string> switches;
        int exitCode;
        const char* f;
    };
    const Case cases[] = {{{}, 1, "old"}, {{"-o-"}, 0, "old"}, {{"-o+"}, 0, "new"}};
    for (const Case& c : cases) {
        fs::remove_all(path("out"));
        write("out/f.txt", "old");
        std::vector<std::string> arguments{"x"};
        arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
        arguments.insert(arguments.end(), {archive, path("out") + "/"});
        const ProcessResult result = stowarc(arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(read(path("out/f.txt")), c.f);
        EXPECT_EQ(read(path("out/g.txt")), "new too");
        EXPECT_EQ(filesIn(path("out")), (std::set<std::string>{"f.txt", "g.txt"}));
    }
}

TEST_F(Extract, EntriesLeavingTheFolderAreRefusedAndNothingLandsOutside) {
    const std::string archive = craft("evil.zip",
                                      {{"good.txt", "fine"},
                                       {"../escaped.txt", "out"},
                                       {"sub/../../escaped2.txt", "out"},
                                       {"/tmp/stowline-absolute-escape.txt", "out"}},
                                      {{"link", ".."}, {"abs", "/etc"}, {"inner", "good.txt"}});
    fs::create_directories(path("target"));
    const ProcessResult result = stowarc({"x", archive, path("target/out") + "/"});
    EXPECT_EQ(result.exitCode, 2) << result.err;
    for (const char* refused : {"../escaped.txt", "sub/../../escaped2.txt",
                                "/tmp/stowline-absolute-escape.txt", "\"link\"", "\"abs\""})
        EXPECT_NE(result.err.find(refused), std::string::npos) << refused << "\n" << result.err;
    EXPECT_EQ(tree(path("target")),
              (std::map<std::string, std::string>{
                  {"out/", ""}, {"out/good.txt", "fine"}, {"out/inner", "-> good.txt"}}));
    EXPECT_FALSE(fs::exists("/tmp/stowline-absolute-escape.txt"));
    EXPECT_FALSE(fs::exists(path("escaped.txt")));
}

TEST_F(Extract, WritingThroughAnExistingLinkIsRefused) {
    const std::string archive = craft("through.zip", {{"dir/file.txt", "x"}});
    fs::create_directories(path("elsewhere"));
    fs::create_directories(path("out"));
    fs::create_directory_symlink(path("elsewhere"), path("out/dir"));
    EXPECT_EQ(stowarc({"x", archive, path("out") + "/"}).exitCode, 2);
    EXPECT_TRUE(fs::is_empty(path("elsewhere")));
}

TEST_F(Extract, DamagedDataLeavesNoPartialFile) {
    writeNoise("src/big.bin", 1 << 20);
    const std::string archive = path("arc.zip");
    ASSERT_EQ(stowarc({"a", "-m0", "-ep1", archive, path("src") + "/"}).exitCode, 0);
    {
        std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(200000);
        file.put('\x5a').put('\xa5');
    }
    const ProcessResult result = stowarc({"x", archive, path("out") + "/"});
    EXPECT_EQ(result.exitCode, 3) << result.err;
    EXPECT_TRUE(fs::is_empty(path("out")));
}

} // namespace
} // namespace stowline::archiver::testing
