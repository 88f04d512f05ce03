#include "store/Func.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool IsDir(const std::string& path)
{
    return fs::is_directory(path);
}

TEST(GetAppDataDir, OptionWinsAndIsCreated)
{
    TempDir t;
    AppDataPlaces p;
    p.dataDirOption = t.file("stand2/data");
    p.sharedBase = t.path();
    p.programDir = t.path();
    EXPECT_EQ(GetAppDataDir("StendZorva", p), t.file("stand2/data") + "/");
    EXPECT_TRUE(IsDir(t.file("stand2/data")));
    EXPECT_FALSE(fs::exists(t.file("StendZorva")));  // the shared folder was not even made

    p.dataDirOption = t.dir();
    EXPECT_EQ(GetAppDataDir("StendZorva", p), t.dir());  // no doubled slash
}

TEST(GetAppDataDir, SharedFolderMadeOneLevel)
{
    TempDir t;
    AppDataPlaces p;
    p.sharedBase = t.path();
    p.programDir = t.file("program");
    EXPECT_EQ(GetAppDataDir("StendZorva", p), t.file("StendZorva") + "/");
    EXPECT_TRUE(IsDir(t.file("StendZorva")));
    EXPECT_TRUE(fs::is_empty(t.file("StendZorva")));  // the write test leaves nothing
    EXPECT_EQ(GetAppDataDir("StendZorva", p), t.file("StendZorva") + "/");  // existing is fine
}

TEST(GetAppDataDir, EmptyNameIsTheProgramsName)
{
    TempDir t;
    AppDataPlaces p;
    p.sharedBase = t.path();
    const std::string name = ProgramBaseName();
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(name.rfind("test_store", 0), 0u);  // the test program itself
    EXPECT_EQ(GetAppDataDir("", p), t.file(name) + "/");
}

TEST(GetAppDataDir, ProgramFolderWhenSharedCannotBeMade)
{
    TempDir t;
    t.write("notafolder", "x");
    fs::create_directory(t.file("program"));
    AppDataPlaces p;
    p.programDir = t.file("program/");
    for (const std::string& base : std::initializer_list<std::string>{t.file("notafolder"), t.file("missing/parent"), std::string()}) {
        p.sharedBase = base;
        EXPECT_EQ(GetAppDataDir("StendZorva", p), t.file("program/")) << base;
    }
}

TEST(GetAppDataDir, UserFolderWhenNeitherIsUsable)
{
    TempDir t;
    t.write("notafolder", "x");
    AppDataPlaces p;
    p.sharedBase = t.file("notafolder");
    p.programDir = t.file("missing");
    p.home = t.file("home");
    EXPECT_EQ(GetAppDataDir("StendZorva", p), t.file("home/.local/share/StendZorva/"));
    EXPECT_TRUE(IsDir(t.file("home/.local/share/StendZorva")));

    p.xdgDataHome = "relative/ignored";
    EXPECT_EQ(GetAppDataDir("StendZorva", p), t.file("home/.local/share/StendZorva/"));
    p.xdgDataHome = t.file("xdg");
    EXPECT_EQ(GetAppDataDir("StendZorva", p), t.file("xdg/StendZorva/"));
    EXPECT_TRUE(IsDir(t.file("xdg/StendZorva")));
}

// Root writes anywhere, so the permission check runs as an ordinary user.
TEST(GetAppDataDir, FoldersAnotherUserCannotWriteAreSkipped)
{
    TempDir t;
    ::chmod(t.path().c_str(), 0755);
    fs::create_directories(t.file("shared/StendZorva"));
    fs::create_directories(t.file("program"));
    fs::create_directories(t.file("xdg"));
    ::chmod(t.file("shared/StendZorva").c_str(), 0755);
    ::chmod(t.file("program").c_str(), 0755);
    ::chmod(t.file("xdg").c_str(), 0777);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(out[0]);
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        AppDataPlaces p;
        p.sharedBase = t.file("shared");
        p.programDir = t.file("program");
        p.xdgDataHome = t.file("xdg");
        const std::string dir = GetAppDataDir("StendZorva", p);
        (void)!::write(out[1], dir.data(), dir.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string got;
    char buf[256];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(got, t.file("xdg/StendZorva/"));
}

TEST(FolderWritable, TellsFoldersFromTheRest)
{
    TempDir t;
    t.write("file", "x");
    EXPECT_TRUE(FolderWritable(t.path()));
    EXPECT_FALSE(FolderWritable(t.file("file")));
    EXPECT_FALSE(FolderWritable(t.file("missing")));
    EXPECT_FALSE(FolderWritable(""));
    EXPECT_EQ(std::distance(fs::directory_iterator(t.path()), fs::directory_iterator()), 1);
}

TEST(ProgramDir, HoldsTheRunningProgram)
{
    const std::string dir = ProgramDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(fs::exists(dir + ProgramBaseName()));
}

}  // namespace
