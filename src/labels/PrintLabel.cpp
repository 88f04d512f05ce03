#include "labels/PrintLabel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

const char* const kLabelPresenceFile = "LblPrint.exe";
const char* const kRightLabelProgram = "LblPrintR.exe";
const char* const kLeftLabelProgram = "LblPrint.exe";

namespace {

bool IsRunnable(const QString& path)
{
    QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

}  // namespace

QString ResolveLabelProgram(const QString& name, const QString& currentDir, const QString& programDir,
                            const QString& pathVariable)
{
    QStringList places{currentDir, programDir};
    places += pathVariable.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : places) {
        if (dir.isEmpty())
            continue;
        QString candidate = QDir(dir).absoluteFilePath(name);
        if (IsRunnable(candidate))
            return candidate;
    }
    return {};
}

std::optional<LabelLaunch> LabelCommand(bool rightSide, const QString& serialText, const QString& currentDir,
                                        const QString& programDir, const QString& pathVariable)
{
    // The presence test looks for the left program's file for both sides; stands rely on it.
    if (!QFileInfo(QDir(currentDir).absoluteFilePath(QString::fromLatin1(kLabelPresenceFile))).exists())
        return std::nullopt;
    QString name = QString::fromLatin1(rightSide ? kRightLabelProgram : kLeftLabelProgram);
    QString program = ResolveLabelProgram(name, currentDir, programDir, pathVariable);
    if (program.isEmpty())
        program = name;  // let the start fail; the caller ignores it
    return LabelLaunch{program, {QStringLiteral("SN=") + serialText}};
}

bool StartDetachedLabelProgram(const LabelLaunch& launch)
{
    QProcess process;
    process.setProgram(launch.program);
    process.setArguments(launch.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

void PrintLabel(bool rightSide, const QString& serialText, const LabelLauncher& launcher)
{
    auto launch = LabelCommand(rightSide, serialText, QDir::currentPath(), QCoreApplication::applicationDirPath(),
                               qEnvironmentVariable("PATH"));
    if (launch && launcher)
        launcher(*launch);
}
