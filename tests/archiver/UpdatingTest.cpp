// Updating existing archives: -u, -f, -as, the keeper's -ver and the clean command.

#include "ProcessHarness.h"

#include <chrono>

namespace stowline::archiver::testing {
namespace {

using namespace std::chrono_literals;

class Updating : public ArchiverProcess {
protected:
    // Moves a file's modification time by `shift` from now.
    void touch(const std::string& relative, fs::file_time_type::duration shift) const {
        fs::last_write_time(path(relative), fs::file_time_type::clock::now() + shift);
    }
};

TEST_F(Updating, UpdateFreshenAndSynchronise) {
    write("src/a.txt", "a1");
    write("src/b.txt", "b1");
    touch("src/a.txt", -1h);
    touch("src/b.txt", -1h);
    const std::string archive = path("arc.zip");
    const std::string source = path("src") + "/";
    ASSERT_EQ(stowarc({"a", "-ep1", archive, source}).exitCode, 0);

    // -f refreshes newer archived files and adds nothing.
    write("src/a.txt", "a2");
    write("src/c.txt", "c1");
    ASSERT_EQ(stowarc({"a", "-f", "-ep1", archive, source}).exitCode, 0);
    EXPECT_EQ(listed(archive), (std::set<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(extracted(archive, "a.txt"), "a2");

    // -u adds new files and leaves older ones alone, even when their contents differ.
    write("src/b.txt", "b2");
    touch("src/b.txt", -2h);
    ASSERT_EQ(stowarc({"a", "-u", "-ep1", archive, source}).exitCode, 0);
    EXPECT_EQ(listed(archive), (std::set<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(extracted(archive, "b.txt"), "b1");

    // Plain a replaces whatever is named.
    ASSERT_EQ(stowarc({"a", "-ep1", archive, path("src/b.txt")}).exitCode, 0);
    EXPECT_EQ(extracted(archive, "b.txt"), "b2");

    // -as drops what is no longer there...
    fs::remove(path("src/c.txt"));
    ASSERT_EQ(stowarc({"a", "-u", "-as", "-ep1", archive, source}).exitCode, 0);
    EXPECT_EQ(listed(archive), (std::set<std::string>{"a.txt", "b.txt"}));

    // ...but not while a name given cannot be found: an unplugged disk must not empty
    // the backup.
    const std::string before = read(archive);
    const ProcessResult missing =
        stowarc({"a", "-u", "-as", "-ep1", archive, path("src/a.txt"), path("gone/")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no file was removed"), std::string::npos) << missing.err;
    EXPECT_EQ(read(archive), before);

    // -f without an archive has nothing to freshen.
    EXPECT_EQ(stowarc({"a", "-f", path("none.zip"), source}).exitCode, 10);
    EXPECT_FALSE(fs::exists(path("none.zip")));
}

TEST_F(Updating, KeeperKeepsVersions) {
    write("docs/f.txt", "v0");
    const std::string list = writeList("data/swlbin-k.txt", {path("docs/f.txt")});
    const std::string keeper = path("bin/keeper.rar");
    const std::string stored = path("docs/f.txt").substr(1);
    const std::vector<std::string> line{"a",     "-ep3",   "-m3",   "-ibck", "-dh",     "-r",
                                        "-cfg-", "-hpKey", "-ver2", keeper,  "@" + list};
    for (int round = 1; round <= 4; ++round) {
        ASSERT_EQ(stowarc(line).exitCode, 0) << "round " << round;
        write("docs/f.txt", "v" + std::to_string(round));
        touch("docs/f.txt", std::chrono::seconds(round * 10));
    }
    // Four runs: the newest file and the two versions before it; v0 went past the limit.
    EXPECT_EQ(listed(keeper, "Key"), (std::set<std::string>{stored, stored + ";1", stored + ";2"}));
    EXPECT_EQ(extracted(keeper, stored, "Key"), "v3");
    EXPECT_EQ(extracted(keeper, stored + ";1", "Key"), "v2");
    EXPECT_EQ(extracted(keeper, stored + ";2", "Key"), "v1");

    // Keeping a file that did not change makes no new version.
    ASSERT_EQ(stowarc(line).exitCode, 0);
    ASSERT_EQ(stowarc(line).exitCode, 0);
    EXPECT_EQ(extracted(keeper, stored + ";1", "Key"), "v3");
    EXPECT_EQ(extracted(keeper, stored, "Key"), "v4");
    EXPECT_EQ(listed(keeper, "Key").size(), 3u);
}

TEST_F(Updating, CleanDeletesOldEntriesWithoutThePassword) {
    write("docs/old.txt", "old");
    write("docs/new.txt", "new");
    write("docs/sub/older.txt", "older");
    touch("docs/old.txt", -24h * 40);
    touch("docs/sub/older.txt", -24h * 400);
    const std::string keeper = path("bin/keeper.rar");
    ASSERT_EQ(stowarc({"a", "-ep1", "-hpKey", keeper, path("docs") + "/"}).exitCode, 0);

    // The clean command passes no password: entries are copied, never decrypted.
    const ProcessResult clean = stowarc({"d", "-to30d", keeper, "*.*"});
    ASSERT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_EQ(listed(keeper, "Key"), (std::set<std::string>{"new.txt", "sub/"}));
    EXPECT_EQ(extracted(keeper, "new.txt", "Key"), "new");

    // Nothing old any more: the archive stays as it is.
    const std::string before = read(keeper);
    EXPECT_EQ(stowarc({"d", "-to30d", keeper, "*.*"}).exitCode, 0);
    EXPECT_EQ(read(keeper), before);
    EXPECT_EQ(stowarc({"d", "-to30d", path("bin/recycle.rar"), "*.*"}).exitCode, 6);
}

} // namespace
} // namespace stowline::archiver::testing
