// Settings file cases that only POSIX systems can set up: a full disk through
// the file size limit, folders and files without write permission, pipes,
// temporaries of processes that ended.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "SettingsFileFiles.h"
#include "startup/SettingsFile.h"

namespace mirvok {
namespace {

// A save that cannot be written leaves the old file and no temporary file.
TEST(SettingsFile, FullDiskKeepsTheOldFile) {
    test::TempDir dir;
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    run.settings.Port = 5;
    // Writes beyond the file size limit fail as on a full disk.
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit tiny = oldLimit;
    tiny.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    SaveSettings(run, {std::string(200, 'p')});
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(test::TempDir::Read(run.IniPath), FirstStartFile());
    EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(SettingsFile, ReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
    test::TempDir dir;
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    std::filesystem::permissions(dir.Path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    run.settings.Port = 5;
    SaveSettings(run, {});
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(test::TempDir::Read(run.IniPath), FirstStartFile());
    EXPECT_EQ(FilesIn(dir), 1u);

    // A write-protected file in a writable folder stays as it is too.
    std::filesystem::permissions(run.IniPath, std::filesystem::perms::owner_read);
    SaveSettings(run, {});
    EXPECT_EQ(test::TempDir::Read(run.IniPath), FirstStartFile());
    EXPECT_EQ(FilesIn(dir), 1u);
}

// A save that changes nothing leaves the file itself in place (same inode, no
// rename); a save that changes a value replaces it.
TEST(SettingsFile, AnUnchangedSaveLeavesTheFileInPlace) {
    test::TempDir dir;
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    SaveSettings(run, {"/a.mot"});
    const auto inode = [&] {
        struct stat status {};
        EXPECT_EQ(::stat(run.IniPath.c_str(), &status), 0);
        return status.st_ino;
    };
    const std::string saved = test::TempDir::Read(run.IniPath);
    const auto before = inode();
    SaveSettings(run, {"/a.mot"});
    EXPECT_EQ(inode(), before);
    EXPECT_EQ(test::TempDir::Read(run.IniPath), saved);

    run.settings.Port = 5;
    SaveSettings(run, {"/a.mot"});
    EXPECT_NE(inode(), before);
    EXPECT_NE(test::TempDir::Read(run.IniPath), saved);
    EXPECT_EQ(FilesIn(dir), 1u);
}

// A settings path that names a pipe or a device (a pipe here, and a link to
// one) is read as no file and never replaced by one; the run goes on with the
// values in memory.
TEST(SettingsFile, APipeOrDeviceIsNeverReplaced) {
    test::TempDir dir;
    const std::string fifo = dir.File("Mirvok.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = dir.File("link.ini");
    std::filesystem::create_symlink(fifo, link);
    for (const std::string& path : {fifo, link}) {
        RunState run;
        run.IniPath = path;
        LoadOrCreateSettings(run);
        run.settings.Port = 5;
        SaveSettings(run, {"/a.mot"});
        EXPECT_EQ(run.settings.Port, 5) << path;
        struct stat status {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0) << path;
        EXPECT_FALSE(S_ISREG(status.st_mode)) << path;
    }
    EXPECT_EQ(FilesIn(dir), 2u);
}

// Temporaries of saves that were killed go at the next start, whatever
// process id they carry (ids are reused); files that only look alike stay.
// When the file itself is missing, a complete temporary is taken back.
TEST(SettingsFile, StartTakesBackACompleteTemporaryAndRemovesTheRest) {
    test::TempDir dir;
    const std::string saved =
        "[Application]\r\nApp=Mirvok\r\n[Comm]\r\nPort= 7\r\n[File]\r\nFile1=/fw.mot\r\n";
    const std::string half =
        dir.Write("Mirvok.ini.tmp" + std::to_string(::getpid()) + "-1", "[Application]\r\nApp=Mi");
    const std::string whole = dir.Write("Mirvok.ini.tmp32-0", saved);
    const std::string alike = dir.Write("Mirvok.ini.tmpnotes", "mine");
    const std::string otherFile = dir.Write("Other.ini.tmp32-0", "mine");
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    EXPECT_EQ(run.settings.Port, 7);
    EXPECT_EQ(test::TempDir::Read(run.IniPath), saved);
    EXPECT_FALSE(std::filesystem::exists(half));
    EXPECT_FALSE(std::filesystem::exists(whole));
    EXPECT_TRUE(std::filesystem::exists(alike));
    EXPECT_TRUE(std::filesystem::exists(otherFile));

    // With the file there, a temporary is a save that never took place.
    dir.Write("Mirvok.ini.tmp33-0", "[Application]\r\nApp=Mirvok\r\n[Comm]\r\nPort= 9\r\n");
    RunState next = RunIn(dir);
    LoadOrCreateSettings(next);
    EXPECT_EQ(next.settings.Port, 7);
    EXPECT_EQ(FilesIn(dir), 3u);
}

// A file without write permission is kept whoever runs the program, the
// superuser included.
TEST(SettingsFile, AWriteProtectedFileIsKeptAlsoForTheSuperuser) {
    test::TempDir dir;
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    ::chmod(run.IniPath.c_str(), 0444);
    run.settings.Port = 5;
    EXPECT_FALSE(SaveSettings(run, {"/a.mot"}));
    EXPECT_EQ(test::TempDir::Read(run.IniPath), FirstStartFile());
    EXPECT_EQ(FilesIn(dir), 1u);
}

// Two programs started at once on no file, then saving into it, each its own
// sent files: every entry arrives once, none is lost to the other's save.
TEST(SettingsFile, TwoProgramsSavingInALoopLoseNoHistory) {
    test::TempDir dir;
    const RunState first = RunIn(dir);  // both programs start on no file
    constexpr int kSaves = 8;
    std::vector<pid_t> children;
    for (const char* name : {"a", "b"}) {
        const pid_t child = ::fork();
        if (child == 0) {
            RunState run = RunIn(dir);
            LoadOrCreateSettings(run);
            bool ok = true;
            for (int i = 0; i < kSaves; ++i)
                ok = SaveSettings(run, {"/" + std::string(name) + std::to_string(i)}) && ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const ProfileFile file = ProfileFile::Load(first.IniPath);
    std::set<std::string> entries;
    for (int n = 1; n <= 2 * kSaves; ++n) entries.insert(file.Get("File", "File" + std::to_string(n)));
    EXPECT_EQ(entries.size(), 2u * kSaves);
    EXPECT_FALSE(entries.contains(""));
    EXPECT_FALSE(file.Has("File", "File" + std::to_string(2 * kSaves + 1)));
    EXPECT_EQ(FilesIn(dir), 1u);
}

}  // namespace
}  // namespace mirvok
