#pragma once
// Program-wide state the program names: the data folder and the settings
// object of the run, and the hooks persistent windows call.
#include <string>

class QWidget;
class TFastIniFile;

// Folder of the settings and the journal, ending in '/'. Set once at start
// (--data-dir first), unchanged afterwards.
extern std::string AppDataDir;

// Where the data folder may be. The first usable one wins:
//   dataDirOption (--data-dir, created with its parents when missing);
//   sharedBase + folder name (one level made when missing), when writable;
//   programDir, when writable;
//   the user's data folder: xdgDataHome or home + "/.local/share", + folder name.
// Each candidate is tested by creating a file in it, so a read-only place is
// never taken silently (the settings and the journal would be lost).
struct AppDataPlaces {
    std::string dataDirOption;
    std::string sharedBase = "/var/lib";
    std::string programDir;
    std::string xdgDataHome;
    std::string home;
};
AppDataPlaces SystemAppDataPlaces(const std::string& dataDirOption);
// An empty folder name means ProgramBaseName(). The result ends in '/'.
std::string GetAppDataDir(const std::string& folderName, const AppDataPlaces& places);
std::string GetAppDataDir(const std::string& folderName, const std::string& dataDirOption = {});
bool FolderWritable(const std::string& folder);
std::string ProgramBaseName();  // the executable's name without folder and extension
std::string ProgramDir();       // the executable's folder, ending in '/'

// The one settings object of the run, between OpenAppIni and CloseAppIni.
extern TFastIniFile* AppIni;
void OpenAppIni(const std::string& fileName);  // AppDataDir + fileName; empty: DefaultIniPath()
void CloseAppIni();                            // saves when modified

// Placement of a persistent window, under the section of its objectName().
// Nothing happens while AppIni is closed.
void RestoreWindowPlacement(QWidget* window);  // with the on-screen check
void SaveWindowPlacement(QWidget* window);
void KeepFormOnScreen(QWidget* window);
