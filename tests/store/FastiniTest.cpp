#include "store/Fastini.h"
#include "store/File.h"
#include "store/Func.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct FormatCase {
    const char* name;
    std::string file;
    std::string saved;
};

class LoaderTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(LoaderTable, LoadThenSaveGivesExactBytes)
{
    const FormatCase& c = GetParam();
    TempDir dir;
    dir.write("s.ini", c.file);
    {
        TFastIniFile ini(dir.file("s.ini"));
        ASSERT_EQ(ini.Failed, 0);
        EXPECT_EQ(ini.Serialize(), c.saved);
        ini.Modified = true;
        ASSERT_TRUE(ini.Save());
        EXPECT_FALSE(ini.Modified);
    }
    EXPECT_EQ(dir.read("s.ini"), c.saved);
    EXPECT_FALSE(std::filesystem::exists(dir.file("s.ini.tmp")));
}

const std::string k1500 = "k=" + std::string(1498, 'v');
const std::string kSplitKey = "a=" + std::string(1022, 'x') + "b=2";

INSTANTIATE_TEST_SUITE_P(
    Cases, LoaderTable,
    ::testing::Values(
        FormatCase{"EmptyHeaderDoesNotEndSection", "[A]\r\nx=1\r\n[]\r\ny=2\r\n", "[A]\r\nx=1\r\ny=2\r\n"},
        FormatCase{"KeyBeforeFirstHeaderDropped", "k=v\r\n[S]\r\na=1\r\n", "[S]\r\na=1\r\n"},
        FormatCase{"SpacesAroundKeyAndValue", "[S]\r\n  Key = value  \r\n", "[S]\r\nKey= value\r\n"},
        FormatCase{"HeaderSpacesKept", "[ SETUP ]\r\n", "[ SETUP ]\r\n"},
        FormatCase{"DuplicatesWrittenInOrder", "[SETUP]\r\na=1\r\na=3\r\n[X]\r\n[SETUP]\r\na=2\r\n",
                   "[SETUP]\r\na=1\r\na=3\r\n[X]\r\n[SETUP]\r\na=2\r\n"},
        FormatCase{"LfOnly", "[S]\na=1\nb=2\n", "[S]\r\na=1\r\nb=2\r\n"},
        FormatCase{"CrOnly", "[S]\ra=1\rb=2", "[S]\r\na=1\r\nb=2\r\n"},
        FormatCase{"BlankRunsAndNoEquals", "\r\n\r\n\r\n[S]\r\n\r\n\r\nword\r\n   \r\na=1", "[S]\r\na=1\r\n"},
        FormatCase{"ValueKeepsLaterEquals", "[S]\r\na=b=c\r\n", "[S]\r\na=b=c\r\n"},
        FormatCase{"LongLineSecondPieceWithoutEquals", "[S]\r\n" + k1500 + "\r\n",
                   "[S]\r\n" + k1500.substr(0, 1024) + "\r\n"},
        FormatCase{"LongLineSecondPieceIsAKey", "[S]\r\n" + kSplitKey + "\r\n",
                   "[S]\r\n" + kSplitKey.substr(0, 1024) + "\r\nb=2\r\n"},
        FormatCase{"HeaderTailIgnored", "[S]junk=1\r\nk=v\r\n", "[S]\r\nk=v\r\n"},
        FormatCase{"UnclosedHeaderKeepsSection", "[A]\r\n[B\r\nk=v\r\n[B=1\r\n", "[A]\r\nk=v\r\n"},
        FormatCase{"HeaderNameStopsAtFirstBracket", "[a]b]\r\n", "[a]\r\n"},
        FormatCase{"LeadingBlanksBeforeHeader", "   [S]\r\n", "[S]\r\n"},
        FormatCase{"TabIsOrdinary", "[S]\r\n\tk=v\t\r\n", "[S]\r\n\tk=v\t\r\n"},
        FormatCase{"SemicolonIsAKey", "[S]\r\n;note=1\r\n;plain\r\n", "[S]\r\n;note=1\r\n"},
        FormatCase{"FirstValueCharKept", "[S]\r\na=   \r\nb=\r\nc= x \r\n", "[S]\r\na= \r\nb=\r\nc= x\r\n"},
        FormatCase{"EqualsFirstIgnored", "[S]\r\n=1\r\n   =2\r\n", "[S]\r\n"},
        FormatCase{"TextEndsAtZeroByte", std::string("[S]\r\nk=ab\0cd\r\n", 12), "[S]\r\nk=ab\r\n"},
        FormatCase{"Windows1251Bytes", "[\xcd\xe0\xf1]\r\n\xea\xeb\xfe\xf7=\xe7\xed\xe0\xf7\r\n",
                   "[\xcd\xe0\xf1]\r\n\xea\xeb\xfe\xf7=\xe7\xed\xe0\xf7\r\n"},
        FormatCase{"EmptyFile", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TFastIniFile, FindsSectionsByAsciiCaseOnly)
{
    TempDir dir;
    dir.write("s.ini", "[ SETUP ]\r\na=1\r\n[setup]\r\na=2\r\n[\xe0\xe1]\r\nb=3\r\n");
    TFastIniFile ini(dir.file("s.ini"));
    ASSERT_NE(ini.FindSection("SETUP"), nullptr);
    EXPECT_EQ(ini.FindSection("SETUP")->Name(), "setup");
    EXPECT_EQ(ini.ReadString("Setup", "A", "none"), "2");
    EXPECT_EQ(ini.ReadString(" SETUP ", "a", "none"), "1");
    EXPECT_EQ(ini.ReadString("\xe0\xe1", "B", "none"), "3");
    EXPECT_EQ(ini.FindSection("\xc0\xc1"), nullptr);  // Cyrillic upper case is another name
    EXPECT_EQ(ini.FindSection("SETUP "), nullptr);    // nothing trimmed at lookup
}

TEST(TFastIniFile, FirstDuplicateAnswers)
{
    TempDir dir;
    dir.write("s.ini", "[SETUP]\r\nk=1\r\nk=2\r\n[SETUP]\r\nk=3\r\nonly=4\r\n");
    TFastIniFile ini(dir.file("s.ini"));
    EXPECT_EQ(ini.ReadInteger("SETUP", "k", -1), 1);
    EXPECT_EQ(ini.ReadInteger("SETUP", "only", -1), -1);  // in the hidden second section
    ini.WriteInteger("SETUP", "k", 9);
    EXPECT_EQ(ini.Serialize(), "[SETUP]\r\nk=9\r\nk=2\r\n[SETUP]\r\nk=3\r\nonly=4\r\n");
}

TEST(TFastIniFile, EmptySectionNameIsNoNamed)
{
    TempDir dir;
    TFastIniFile ini(dir.file("s.ini"));
    ini.WriteString("", "k", "v");
    EXPECT_EQ(ini.ReadString("", "k", "none"), "v");
    EXPECT_EQ(ini.ReadString("nonamed", "k", "none"), "v");
    EXPECT_EQ(ini.Serialize(), "[NONAMED]\r\nk=v\r\n");
    EXPECT_EQ(ini.AddSection("")->Name(), "NONAMED");
    EXPECT_EQ(ini.SectionCount(), 2);  // AddSection never looks for an existing one
}

TEST(TFastIniFile, SpecimenOfTheFormat)
{
    TempDir dir;
    {
        TFastIniFile ini(dir.file("s.ini"));
        EXPECT_EQ(dir.read("s.ini"), "");  // a missing file is created empty
        ini.WriteString("SETUP", "LastPrinted", "17-00001");
        ini.WriteInteger("LogForm", "Left", 10);
    }
    EXPECT_EQ(dir.read("s.ini"), "[SETUP]\r\nLastPrinted=17-00001\r\n[LogForm]\r\nLeft=10\r\n");
}

TEST(TFastIniFile, ReadsOfEmptyAndMissing)
{
    TempDir dir;
    dir.write("s.ini", "[S]\r\nempty=\r\n");
    TFastIniFile ini(dir.file("s.ini"));
    EXPECT_EQ(ini.ReadString("S", "empty", "def"), "");
    EXPECT_EQ(ini.ReadInteger("S", "empty", 7), 0);
    EXPECT_FALSE(ini.ReadBool("S", "empty", true));
    EXPECT_EQ(ini.ReadString("S", "missing", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("T", "empty", 7), 7);
    EXPECT_TRUE(ini.ReadBool("T", "empty", true));
    EXPECT_EQ(ini.ReadString("S", "", "def"), "def");  // an empty key never matches
    EXPECT_EQ(ini.GetSection(-1), nullptr);
    EXPECT_EQ(ini.GetSection(1), nullptr);
    ASSERT_NE(ini.GetSection(0), nullptr);
    EXPECT_EQ(ini.GetSection(0)->GetParam(1), nullptr);
    EXPECT_EQ(ini.GetSection(0)->GetParam(0)->Name(), "empty");
}

struct IntCase {
    const char* value;
    int32_t integer;
    bool boolean;
};

class ConversionTable : public ::testing::TestWithParam<IntCase> {};

TEST_P(ConversionTable, StoredTextReadsAs)
{
    const IntCase& c = GetParam();
    TempDir dir;
    dir.write("s.ini", std::string("[S]\r\nk=") + c.value + "\r\n");
    TFastIniFile ini(dir.file("s.ini"));
    EXPECT_EQ(ini.ReadInteger("S", "k", 12345), c.integer);
    EXPECT_EQ(ini.ReadBool("S", "k", !c.boolean), c.boolean);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConversionTable,
                         ::testing::Values(IntCase{"12abc", 12, true}, IntCase{"abc", 0, false},
                                           IntCase{"true", 0, false}, IntCase{"no", 0, false},
                                           IntCase{" -5", -5, true}, IntCase{" 42 ", 42, true},
                                           IntCase{"+7", 7, true}, IntCase{"1", 1, true},
                                           IntCase{"2", 2, true}, IntCase{"-1", -1, true},
                                           IntCase{"0", 0, false}, IntCase{"", 0, false},
                                           IntCase{"\t\v\f9", 9, true}, IntCase{"- 5", 0, false},
                                           IntCase{"4294967296", 0, false},
                                           IntCase{"4294967297", 1, true},
                                           IntCase{"2147483648", INT32_MIN, true},
                                           IntCase{"-2147483648", INT32_MIN, true},
                                           IntCase{"007", 7, true}));

TEST(TFastIniFile, WritesNumbersAsPlainDecimal)
{
    TempDir dir;
    TFastIniFile ini(dir.file("s.ini"));
    ini.WriteInteger("S", "a", -5);
    ini.WriteInteger("S", "b", INT32_MIN);
    ini.WriteInteger("S", "c", 0);
    ini.WriteBool("S", "d", true);
    ini.WriteBool("S", "e", false);
    ini.WriteString("S", "f", "");
    EXPECT_EQ(ini.Serialize(), "[S]\r\na=-5\r\nb=-2147483648\r\nc=0\r\nd=1\r\ne=0\r\nf=\r\n");
}

TEST(TFastIniFile, EqualWriteStillRewritesTheFile)
{
    TempDir dir;
    dir.write("s.ini", "[S]\na=1\n");
    {
        TFastIniFile ini(dir.file("s.ini"));
    }
    EXPECT_EQ(dir.read("s.ini"), "[S]\na=1\n");  // nothing written, nothing saved
    {
        TFastIniFile ini(dir.file("s.ini"));
        ini.WriteString("S", "a", "1");
        EXPECT_TRUE(ini.Modified);
    }
    EXPECT_EQ(dir.read("s.ini"), "[S]\r\na=1\r\n");
}

TEST(TFastIniFile, SectionWritesLeaveModifiedAlone)
{
    TempDir dir;
    TFastIniFile ini(dir.file("s.ini"));
    TIniSection* s = ini.AddSection("S");
    s->WriteInteger("k", 3);
    s->WriteBool("b", true);
    s->WriteString("k", "4");
    s->AddParam(std::make_unique<TIniParam>("k", "5"));
    EXPECT_FALSE(ini.Modified);
    EXPECT_EQ(s->ReadInteger("K", 0), 4);
    EXPECT_TRUE(s->ReadBool("b", false));
    EXPECT_EQ(ini.Serialize(), "[S]\r\nk=4\r\nb=1\r\nk=5\r\n");
}

TEST(TIniParam, AbsentNameNeverMatches)
{
    TIniParam p("", "v");
    EXPECT_FALSE(p.NameIs(""));
    p.SetName("Left");
    EXPECT_TRUE(p.NameIs("LEFT"));
    EXPECT_FALSE(p.NameIs("Lef"));
    p.SetValue("");
    EXPECT_EQ(p.Value(), "");
}

TEST(TFastIniFile, UnreadableFileLeavesObjectEmpty)
{
    TempDir dir;
    std::filesystem::create_directory(dir.file("s.ini"));
    TFastIniFile ini(dir.file("s.ini"));
    EXPECT_EQ(ini.Failed, 1);
    EXPECT_EQ(ini.SectionCount(), 0);
    EXPECT_EQ(ini.ReadInteger("S", "k", 5), 5);

    TFastIniFile nowhere(dir.file("missing/s.ini"));
    EXPECT_EQ(nowhere.Failed, 1);
}

TEST(TFastIniFile, FailedSaveKeepsTheOldFile)
{
    TempDir dir;
    dir.write("s.ini", "[S]\r\nold=1\r\n");
    {
        TFastIniFile ini(dir.file("s.ini"));
        // The place of the new file is taken by a folder: the create fails.
        std::filesystem::create_directory(dir.file("s.ini.tmp"));
        ini.WriteInteger("S", "new", 2);
        EXPECT_FALSE(ini.Save());
        EXPECT_EQ(ini.Failed, 1);
        EXPECT_TRUE(ini.Modified);
        EXPECT_EQ(dir.read("s.ini"), "[S]\r\nold=1\r\n");
        std::filesystem::remove(dir.file("s.ini.tmp"));
        EXPECT_TRUE(ini.Save());
        EXPECT_EQ(ini.Failed, 1);  // never cleared
    }
    EXPECT_EQ(dir.read("s.ini"), "[S]\r\nold=1\r\nnew=2\r\n");
}

TEST(TFastIniFile, FailedRenameKeepsTheOldFileAndCleansUp)
{
    TempDir dir;
    // A settings path that is a non-empty folder cannot be replaced by a file.
    std::filesystem::create_directory(dir.file("s.ini"));
    dir.write("s.ini/inside", "x");
    TFastIniFile ini(dir.file("s.ini"));
    ini.WriteInteger("S", "k", 1);
    EXPECT_FALSE(ini.Save());
    EXPECT_EQ(dir.read("s.ini/inside"), "x");
    EXPECT_FALSE(std::filesystem::exists(dir.file("s.ini.tmp")));
}

TEST(TFastIniFile, SaveKeepsTheFileMode)
{
    TempDir dir;
    dir.write("s.ini", "");
    ::chmod(dir.file("s.ini").c_str(), 0640);
    {
        TFastIniFile ini(dir.file("s.ini"));
        ini.WriteInteger("S", "k", 1);
    }
    struct stat st;
    ASSERT_EQ(::stat(dir.file("s.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(TFastIniFile, SaveWhileAnotherSaverHoldsTheNewFile)
{
    TempDir dir;
    dir.write("s.ini", "[S]\r\nold=1\r\n");
    TFile other(dir.file("s.ini.tmp"), TFileAccess::Write, TFileShare::Read, TFileCreate::CreateAlways);
    ASSERT_TRUE(other.Write("theirs", 6));
    TFastIniFile ini(dir.file("s.ini"));
    ini.WriteInteger("S", "k", 1);
    EXPECT_FALSE(ini.Save());
    EXPECT_EQ(dir.read("s.ini.tmp"), "theirs");  // neither emptied nor removed
    EXPECT_EQ(dir.read("s.ini"), "[S]\r\nold=1\r\n");
}

TEST(TFastIniFile, RandomBytesLoadAndSettle)
{
    TempDir dir;
    std::mt19937 rng(20240531);
    std::string bytes(10 * 1024 * 1024, '\0');
    for (char& b : bytes)
        b = static_cast<char>(rng());
    // Sprinkle the bytes the loader cares about so that sections and keys arise.
    for (size_t i = 0; i < bytes.size(); i += 1 + rng() % 64)
        bytes[i] = "[]=\r\n "[rng() % 6];
    dir.write("s.ini", bytes);
    std::string first;
    {
        TFastIniFile ini(dir.file("s.ini"));
        EXPECT_EQ(ini.Failed, 0);
        EXPECT_GT(ini.SectionCount(), 100);
        first = ini.Serialize();
        ini.Modified = true;
    }
    // What the engine writes, it reads back unchanged.
    TFastIniFile again(dir.file("s.ini"));
    EXPECT_EQ(again.Serialize(), first);
}

TEST(AppIni, OpenAndCloseTheGlobalObject)
{
    TempDir dir;
    const std::string saved = AppDataDir;
    AppDataDir = dir.dir();
    OpenAppIni("StendZorva.ini");
    ASSERT_NE(AppIni, nullptr);
    EXPECT_EQ(AppIni->FileName(), dir.file("StendZorva.ini"));
    AppIni->WriteBool("SETUP", "AutoPrint", true);
    CloseAppIni();
    EXPECT_EQ(AppIni, nullptr);
    CloseAppIni();  // closing twice is harmless
    EXPECT_EQ(dir.read("StendZorva.ini"), "[SETUP]\r\nAutoPrint=1\r\n");

    OpenAppIni("");
    ASSERT_NE(AppIni, nullptr);
    EXPECT_EQ(AppIni->FileName(), dir.dir() + ProgramBaseName() + ".ini");
    EXPECT_EQ(DefaultIniPath(), AppIni->FileName());
    CloseAppIni();
    AppDataDir = saved;
}

// The file on disk is always one whole version, whenever the saving process dies.
TEST(TFastIniFile, KilledWhileSavingLeavesAWholeFile)
{
    TempDir dir;
    const std::string path = dir.file("s.ini");
    // Same keys, values of another length: a mix of the two cannot pass. Long
    // values make the writing a good part of each save.
    auto fill = [](TFastIniFile& ini, bool a) {
        for (int s = 0; s < 4; ++s)
            for (int k = 0; k < 10; ++k)
                ini.WriteString("Section" + std::to_string(s), "Key" + std::to_string(k),
                                std::string(a ? 50000 : 37500, a ? 'a' : 'b') + std::to_string(k));
    };
    std::string versionA, versionB;
    {
        TFastIniFile ini(path);
        fill(ini, true);
        versionA = ini.Serialize();
        ASSERT_TRUE(ini.Save());
        fill(ini, false);
        versionB = ini.Serialize();
        ini.Modified = false;
    }
    ASSERT_NE(versionA.size(), versionB.size());

    std::mt19937 rng(7);
    for (int round = 0; round < 10; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            bool told = false;
            TFastIniFile ini(path);
            for (int n = 0;; ++n) {
                fill(ini, n % 2 == 1);
                ini.Save();
                if (!told) {
                    char c = 's';
                    (void)!::write(ready[1], &c, 1);
                    told = true;
                }
            }
        }
        ::close(ready[1]);
        char c;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        // Until a random moment of the saving loop, whoever reads sees a whole file too.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(rng() % 150);
        int torn = 0;
        while (std::chrono::steady_clock::now() < until) {
            const std::string seen = dir.read("s.ini");
            torn += seen != versionA && seen != versionB;
        }
        EXPECT_EQ(torn, 0) << "round " << round;
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const std::string now = dir.read("s.ini");
        EXPECT_TRUE(now == versionA || now == versionB) << "round " << round << ": " << now.size() << " bytes";
    }
}

}  // namespace
