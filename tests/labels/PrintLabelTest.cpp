#include "labels/PrintLabel.h"
#include "support/QtPrint.h"
#include "support/TempDir.h"

#include <QFile>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

void MakeProgram(const std::string& path)
{
    std::ofstream(path) << "#!/bin/sh\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

}  // namespace

TEST(PrintLabel, PresenceOfTheLeftProgramDecidesForBothSides)
{
    TempDir cwd, programDir, pathDir;
    MakeProgram(cwd.file("LblPrintR.exe"));

    // Without LblPrint.exe in the current folder nothing is started, even for the right side.
    EXPECT_FALSE(LabelCommand(true, "17-00023", Q(cwd.path()), Q(programDir.path()), Q(pathDir.path())));
    EXPECT_FALSE(LabelCommand(false, "17-00023", Q(cwd.path()), Q(programDir.path()), Q(pathDir.path())));

    MakeProgram(cwd.file("LblPrint.exe"));
    auto right = LabelCommand(true, "17-00023", Q(cwd.path()), Q(programDir.path()), Q(pathDir.path()));
    ASSERT_TRUE(right);
    EXPECT_EQ(right->program, Q(cwd.file("LblPrintR.exe")));
    EXPECT_EQ(right->arguments, QStringList{"SN=17-00023"});
    auto left = LabelCommand(false, "17-00023", Q(cwd.path()), Q(programDir.path()), Q(pathDir.path()));
    ASSERT_TRUE(left);
    EXPECT_EQ(left->program, Q(cwd.file("LblPrint.exe")));
}

TEST(PrintLabel, TheTextIsOneArgumentNeverAShellLine)
{
    TempDir cwd;
    MakeProgram(cwd.file("LblPrint.exe"));
    for (const QString& text : {QStringLiteral(""), QStringLiteral("----"), QStringLiteral("17-1; rm -rf / &"),
                                QStringLiteral("$(reboot)"), QStringLiteral("a b\tc\nd")}) {
        auto launch = LabelCommand(false, text, Q(cwd.path()), {}, {});
        ASSERT_TRUE(launch);
        EXPECT_EQ(launch->arguments, QStringList{QStringLiteral("SN=") + text});
    }
}

TEST(PrintLabel, ProgramLookedUpInCurrentThenProgramFolderThenPath)
{
    TempDir cwd, programDir, pathA, pathB;
    const QString path = Q(pathA.path()) + ":" + Q(pathB.path());
    MakeProgram(pathB.file("LblPrintR.exe"));
    EXPECT_EQ(ResolveLabelProgram("LblPrintR.exe", Q(cwd.path()), Q(programDir.path()), path), Q(pathB.file("LblPrintR.exe")));
    MakeProgram(programDir.file("LblPrintR.exe"));
    EXPECT_EQ(ResolveLabelProgram("LblPrintR.exe", Q(cwd.path()), Q(programDir.path()), path),
              Q(programDir.file("LblPrintR.exe")));
    MakeProgram(cwd.file("LblPrintR.exe"));
    EXPECT_EQ(ResolveLabelProgram("LblPrintR.exe", Q(cwd.path()), Q(programDir.path()), path), Q(cwd.file("LblPrintR.exe")));
    // A file that cannot be run is passed over.
    std::ofstream(pathA.file("LblPrint.exe")) << "text";
    EXPECT_EQ(ResolveLabelProgram("LblPrint.exe", Q(cwd.path()), Q(programDir.path()), path), QString());
}

TEST(PrintLabel, AProgramThatCannotStartIsReportedNotThrown)
{
    EXPECT_FALSE(StartDetachedLabelProgram({QStringLiteral("/nonexistent/LblPrintR.exe"), {"SN=1"}}));
    TempDir dir;
    const std::string out = dir.file("args.txt");
    std::ofstream(dir.file("rec.sh")) << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << out << "'\n";
    std::filesystem::permissions(dir.file("rec.sh"), std::filesystem::perms::owner_all);
    ASSERT_TRUE(StartDetachedLabelProgram({Q(dir.file("rec.sh")), {"SN=17-1; echo x"}}));
    for (int i = 0; i < 500 && dir.read("args.txt").empty(); ++i)
        QThread::msleep(10);  // waits for the started process, not for a timer
    EXPECT_EQ(dir.read("args.txt"), "SN=17-1; echo x|");
}
