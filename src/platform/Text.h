#pragma once
// The one conversion point between the screen's Unicode and the files'
// Windows-1251 bytes.
#include <QString>
#include <string>

std::string ToCp1251(const QString& text);
QString FromCp1251(const std::string& bytes);
