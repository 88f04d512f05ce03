#pragma once
// The skin manager: a skin is a Qt style sheet. The built-in skin is compiled
// in; a skin folder holds "<name>.qss" files.
#include <QString>

#include <functional>

class QApplication;
class QPalette;

class SkinManager {
public:
    static QString BuiltInSkinName();  // "Material Dark (внутренний)"

    // Design-time values: the built-in skin, and "Skins" in the program's folder.
    SkinManager();

    QString SkinDirectory;
    QString SkinName;

    // "<SkinDirectory>/<SkinName>.qss".
    QString SkinFile() const;

    // Puts the skin on the whole application: the skin file when it exists and
    // can be read, otherwise the built-in skin. An unknown name falls back to the
    // built-in skin and is kept as it is, so it is stored again at close.
    // False when the fallback was taken for a name that is not the built-in one.
    bool Apply(QApplication& app) const;

    static QString BuiltInStyleSheet();
    static QPalette BuiltInPalette();
};

// SetupSkin's folder rule. The folder "Skins" in programDir, when it exists, is the
// skin folder and the stored value is not read; otherwise readStoredDir(current)
// gives the stored folder, with the manager's current folder as the default.
QString ChooseSkinDirectory(const QString& programDir, const QString& currentDir,
                            const std::function<QString(const QString& fallback)>& readStoredDir);
