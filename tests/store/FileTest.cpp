#include "store/AppendFile.h"
#include "store/File.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> ReadAllLines(const std::string& path, uint32_t size)
{
    TFile f(path, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting);
    std::vector<std::string> lines;
    std::vector<char> buf(size + 1, 'X');
    while (f.ReadLine(buf.data(), size)) {
        // The terminating zero byte lies inside the buffer and ends the text.
        lines.emplace_back(buf.data());
        if (lines.size() > 1000)
            break;
    }
    return lines;
}

struct ReadLineCase {
    const char* name;
    std::string content;
    uint32_t size;
    std::vector<std::string> lines;
};

class ReadLineTable : public ::testing::TestWithParam<ReadLineCase> {};

TEST_P(ReadLineTable, SplitsAsTheRuleSays)
{
    const ReadLineCase& c = GetParam();
    TempDir dir;
    dir.write("f", c.content);
    EXPECT_EQ(ReadAllLines(dir.file("f"), c.size), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadLineTable,
    ::testing::Values(
        ReadLineCase{"CrLf", "a\r\nb\r\n", 256, {"a\r\n", "b\r\n"}},
        ReadLineCase{"ThirdLfStartsBlankLine", "a\n\n\nb", 256, {"a\n\n", "\n", "b"}},
        ReadLineCase{"LongLineInPieces", std::string(20, 'x') + "\n", 8,
                     {std::string(7, 'x'), std::string(7, 'x'), std::string(6, 'x') + "\n"}},
        ReadLineCase{"LoneCr", "a\rb\rc", 256, {"a\r", "b\r", "c"}},
        ReadLineCase{"LfCrIsOneEnd", "a\n\rb", 256, {"a\n\r", "b"}},
        ReadLineCase{"RunOfFiveCr", "\r\r\r\r\r", 256, {"\r\r", "\r\r", "\r"}},
        ReadLineCase{"EmptyFile", "", 256, {}},
        ReadLineCase{"NoLineEnd", "abc", 256, {"abc"}},
        ReadLineCase{"BufferOfTwo", "ab\r\n", 2, {"a", "b", "\r", "\n"}},
        ReadLineCase{"LineExactlyFillsBuffer", "abcdefg\nh", 8, {"abcdefg", "\n", "h"}},
        ReadLineCase{"EndsSplitAcrossPieces", "abcdef\r\nxy", 8, {"abcdef\r", "\n", "xy"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TFileReadLine, EndOfFileIsFailedWithoutErrorCode)
{
    TempDir dir;
    dir.write("f", "x\n");
    TFile f(dir.file("f"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting);
    char buf[16];
    ASSERT_TRUE(f.ReadLine(buf, sizeof buf));
    EXPECT_FALSE(f.Failed);
    EXPECT_FALSE(f.ReadLine(buf, sizeof buf));
    EXPECT_TRUE(f.Failed);
    EXPECT_EQ(f.LastError, 0u);
    EXPECT_EQ(buf[0], 0);
}

TEST(TFileReadLine, RefusesWhatItCannotDo)
{
    TempDir dir;
    dir.write("f", "abc\n");
    TFile closed;
    char buf[16];
    EXPECT_FALSE(closed.ReadLine(buf, sizeof buf));
    EXPECT_FALSE(closed.Failed);  // no file: Failed untouched

    TFile f(dir.file("f"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting);
    EXPECT_FALSE(f.ReadLine(buf, 0));
    EXPECT_FALSE(f.ReadLine(nullptr, 16));
    EXPECT_FALSE(f.ReadLine(buf, 1));  // room for the zero byte only
    EXPECT_EQ(buf[0], 0);
    ASSERT_TRUE(f.ReadLine(buf, sizeof buf));  // nothing was consumed meanwhile
    EXPECT_STREQ(buf, "abc\n");
}

TEST(TFileReadLine, ReadErrorCarriesTheSystemCode)
{
    TempDir dir;
    TFile f(dir.path(), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting);
    ASSERT_TRUE(f.IsOpen());
    char buf[16];
    EXPECT_FALSE(f.ReadLine(buf, sizeof buf));
    EXPECT_TRUE(f.Failed);
    EXPECT_EQ(f.LastError, static_cast<uint32_t>(EISDIR));
}

TEST(TFile, OpenTwiceKeepsTheFirstFile)
{
    TempDir dir;
    TFile f(dir.file("a"), TFileAccess::Write, TFileShare::None, TFileCreate::CreateAlways);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_FALSE(f.Open(dir.file("b"), TFileAccess::Write, TFileShare::None, TFileCreate::CreateAlways));
    EXPECT_FALSE(f.Failed);
    EXPECT_TRUE(f.Write("one", 3));
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(dir.read("a"), "one");
    struct stat st;
    EXPECT_NE(::stat(dir.file("b").c_str(), &st), 0);  // never created
}

TEST(TFile, CloseOnClosedLeavesFailedAlone)
{
    TFile f;
    EXPECT_FALSE(f.Close());
    EXPECT_FALSE(f.Failed);
    EXPECT_FALSE(f.Write("x", 1));  // Failed set by a refused write
    EXPECT_TRUE(f.Failed);
    EXPECT_FALSE(f.Close());
    EXPECT_TRUE(f.Failed);
}

TEST(TFile, NullWriteFailsAndWritesNothing)
{
    TempDir dir;
    TFile f(dir.file("a"), TFileAccess::Write, TFileShare::None, TFileCreate::CreateAlways);
    ASSERT_TRUE(f.Write("ab", 2));
    EXPECT_EQ(f.BytesWritten, 2u);
    EXPECT_FALSE(f.Write(nullptr, 5));
    EXPECT_TRUE(f.Failed);
    EXPECT_EQ(f.Position(), 2u);
    f.Close();
    EXPECT_EQ(dir.read("a"), "ab");
}

TEST(TFile, SeekPositionTruncate)
{
    TempDir dir;
    TFile f(dir.file("a"), TFileAccess::Write, TFileShare::None, TFileCreate::CreateAlways);
    ASSERT_TRUE(f.Write("hello world", 11));
    EXPECT_EQ(f.Position(), 11u);
    ASSERT_TRUE(f.Seek(5, TFileOrigin::Begin));
    EXPECT_TRUE(f.Truncate());
    EXPECT_TRUE(f.Seek(-2, TFileOrigin::End));
    EXPECT_EQ(f.Position(), 3u);
    EXPECT_TRUE(f.Seek(1, TFileOrigin::Current));
    EXPECT_EQ(f.Position(), 4u);
    EXPECT_FALSE(f.Seek(-10, TFileOrigin::Begin));
    EXPECT_TRUE(f.Failed);
    EXPECT_EQ(f.LastError, static_cast<uint32_t>(EINVAL));
    EXPECT_TRUE(f.Sync());
    f.Close();
    EXPECT_EQ(dir.read("a"), "hello");

    TFile closed;
    EXPECT_EQ(closed.Position(), 0u);
    EXPECT_FALSE(closed.Failed);
    EXPECT_FALSE(closed.Truncate());
    EXPECT_FALSE(closed.Failed);
    EXPECT_FALSE(closed.Seek(0, TFileOrigin::End));
    EXPECT_TRUE(closed.Failed);
    EXPECT_FALSE(closed.Sync());
}

TEST(TFile, CreationRules)
{
    TempDir dir;
    dir.write("old", "contents");
    TFile f;
    EXPECT_FALSE(f.Open(dir.file("missing"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenExisting));
    EXPECT_TRUE(f.Failed);
    EXPECT_EQ(f.LastError, static_cast<uint32_t>(ENOENT));
    EXPECT_FALSE(f.IsOpen());

    ASSERT_TRUE(f.Open(dir.file("new"), TFileAccess::Read, TFileShare::Read, TFileCreate::OpenAlways));
    EXPECT_EQ(f.LastError, 0u);
    f.Close();
    struct stat st;
    ASSERT_EQ(::stat(dir.file("new").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);

    ASSERT_TRUE(f.Open(dir.file("old"), TFileAccess::Write, TFileShare::Read, TFileCreate::OpenAlways));
    f.Close();
    EXPECT_EQ(dir.read("old"), "contents");
    ASSERT_TRUE(f.Open(dir.file("old"), TFileAccess::Write, TFileShare::Read, TFileCreate::CreateAlways));
    f.Close();
    EXPECT_EQ(dir.read("old"), "");
}

TEST(TFile, DescriptorIsNotInheritedByPrograms)
{
    struct Peek : TFile {
        int fd() const { return handle_; }
    } f;
    TempDir dir;
    ASSERT_TRUE(f.Open(dir.file("a"), TFileAccess::Write, TFileShare::None, TFileCreate::OpenAlways));
    EXPECT_TRUE(::fcntl(f.fd(), F_GETFD) & FD_CLOEXEC);
}

TEST(TAppendFile, CreatesMissingFile)
{
    TempDir dir;
    {
        TAppendFile f(dir.file("log"));
        ASSERT_TRUE(f.IsOpen());
        EXPECT_TRUE(f.Write("line\r\n", 6));
    }
    EXPECT_EQ(dir.read("log"), "line\r\n");
}

TEST(TAppendFile, FirstWriteLandsAfterTheLastByte)
{
    TempDir dir;
    dir.write("log", "first\r\n");
    {
        TAppendFile f(dir.file("log"));
        EXPECT_EQ(f.Position(), 7u);
        EXPECT_TRUE(f.Write("second\r\n", 8));
    }
    EXPECT_EQ(dir.read("log"), "first\r\nsecond\r\n");
}

TEST(TAppendFile, FailedOpenMakesWritesFail)
{
    TempDir dir;
    TAppendFile f(dir.file("no/such/folder/log"));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_TRUE(f.Failed);
    EXPECT_FALSE(f.Write("x", 1));
}

struct Opener {
    TFileAccess access;
    TFileShare share;
};

struct LockCase {
    const char* name;
    Opener first;
    Opener second;
    bool secondOpens;
};

class LockTable : public ::testing::TestWithParam<LockCase> {};

constexpr Opener kReadShared{TFileAccess::Read, TFileShare::Read};
constexpr Opener kReadAlone{TFileAccess::Read, TFileShare::None};
constexpr Opener kWriteAlone{TFileAccess::Write, TFileShare::None};
constexpr Opener kWriteShared{TFileAccess::Write, TFileShare::Read};

TEST_P(LockTable, SecondOpenerInThisProcess)
{
    const LockCase& c = GetParam();
    TempDir dir;
    dir.write("f", "keep");
    const std::string path = dir.file("f");
    TFile first(path, c.first.access, c.first.share, TFileCreate::OpenAlways);
    ASSERT_TRUE(first.IsOpen());
    // CreateAlways: a refused opener must not have emptied the file either.
    TFile second(path, c.second.access, c.second.share,
                 c.second.access == TFileAccess::Write ? TFileCreate::CreateAlways : TFileCreate::OpenAlways);
    EXPECT_EQ(second.IsOpen(), c.secondOpens);
    if (!c.secondOpens) {
        EXPECT_EQ(second.LastError, static_cast<uint32_t>(EWOULDBLOCK));
        EXPECT_EQ(dir.read("f"), "keep");
        first.Close();
        EXPECT_TRUE(second.Open(path, c.second.access, c.second.share, TFileCreate::OpenAlways));
    }
}

TEST_P(LockTable, SecondOpenerInAnotherProcess)
{
    const LockCase& c = GetParam();
    TempDir dir;
    dir.write("f", "keep");
    const std::string path = dir.file("f");
    TFile first(path, c.first.access, c.first.share, TFileCreate::OpenAlways);
    ASSERT_TRUE(first.IsOpen());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFile second(path, c.second.access, c.second.share, TFileCreate::OpenAlways);
        bool wrote = false;
        if (second.IsOpen() && c.second.access == TFileAccess::Write)
            wrote = second.Write("child", 5);
        ::_exit(second.IsOpen() ? (wrote ? 3 : 2) : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    EXPECT_EQ(code != 1, c.secondOpens);
    if (!c.secondOpens) {
        EXPECT_EQ(dir.read("f"), "keep");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LockTable,
    ::testing::Values(LockCase{"WriterKeepsWriterOut", kWriteAlone, kWriteAlone, false},
                      LockCase{"WriterKeepsReaderOut", kWriteAlone, kReadShared, false},
                      LockCase{"SharingWriterKeepsWriterOut", kWriteShared, kWriteShared, false},
                      LockCase{"ReaderKeepsWriterOut", kReadShared, kWriteAlone, false},
                      LockCase{"ReaderKeepsLoneReaderOut", kReadShared, kReadAlone, false},
                      LockCase{"LoneReaderKeepsReaderOut", kReadAlone, kReadShared, false},
                      LockCase{"ReadersShare", kReadShared, kReadShared, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TAppendFile, ChildWaitsOutTheParentsLine)
{
    TempDir dir;
    const std::string path = dir.file("log");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        TAppendFile f(path);
        f.Write("child\r\n", 7);
        char c = 'r';
        (void)!::write(ready[1], &c, 1);
        ::pause();  // holds the file until killed
        ::_exit(0);
    }
    ::close(ready[1]);
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    {
        TAppendFile refused(path);
        EXPECT_FALSE(refused.IsOpen());
        EXPECT_FALSE(refused.Write("parent\r\n", 8));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    {
        TAppendFile f(path);  // the lock died with the child
        EXPECT_TRUE(f.Write("parent\r\n", 8));
    }
    EXPECT_EQ(dir.read("log"), "child\r\nparent\r\n");
}

}  // namespace
