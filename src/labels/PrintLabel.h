#pragma once
// The contract with the external label programs: one start per label, the
// program's name and the single argument "SN=<text>", no shell, no wait.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct LabelLaunch {
    QString program;    // path of the program to start
    QStringList arguments;
};

// Starts a program detached; false when it could not be started.
using LabelLauncher = std::function<bool(const LabelLaunch&)>;

extern const char* const kLabelPresenceFile;  // "LblPrint.exe", looked for in the current folder
extern const char* const kRightLabelProgram;  // "LblPrintR.exe"
extern const char* const kLeftLabelProgram;   // "LblPrint.exe"

// The program is looked up in the current folder, the program's folder, then PATH.
QString ResolveLabelProgram(const QString& name, const QString& currentDir, const QString& programDir,
                            const QString& pathVariable);

// What PrintLabel starts for this text, or nothing when "LblPrint.exe" is not
// in the current folder.
std::optional<LabelLaunch> LabelCommand(bool rightSide, const QString& serialText, const QString& currentDir,
                                        const QString& programDir, const QString& pathVariable);

// The real launcher: QProcess::startDetached, never through a shell.
bool StartDetachedLabelProgram(const LabelLaunch& launch);

// PrintLabel with the process's own folders and environment.
void PrintLabel(bool rightSide, const QString& serialText, const LabelLauncher& launcher);
