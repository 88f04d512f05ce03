#pragma once
// Program-wide state the program names: the data folder and the settings
// object of the run, and the hooks persistent windows call.
#include <string>

class QWidget;
class TFastIniFile;

// Folder of the settings and the journal, ending in '/'. Set once at start
// (--data-dir first), unchanged afterwards.
extern std::string AppDataDir;

// The one settings object of the run, between OpenAppIni and CloseAppIni.
extern TFastIniFile* AppIni;
void OpenAppIni(const std::string& fileName);
void CloseAppIni();

// Placement of a persistent window, under the section of its objectName().
void RestoreWindowPlacement(QWidget* window);  // with the on-screen check
void SaveWindowPlacement(QWidget* window);
void KeepFormOnScreen(QWidget* window);
