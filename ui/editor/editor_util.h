#pragma once
// Helpers shared by the editor's files: the run's settings, the body as
// lines, text files from disk and the plain or coloured button glyphs.
#include <QIcon>
#include <QString>
#include <string>
#include <vector>

namespace quorel {
struct TSettings;
}

namespace quorel::ui {

// The settings of the run (nullptr when the window runs without a frame).
TSettings* RunSettings();
// A path from the settings: absolute as given, otherwise below the program
// folder; "" when the setting is empty.
QString SettingsPath(const std::string& path);
// The setting Pegasus_Path ("" when unset or without a frame).
QString PegasusPath();
// xdg-email's full path when it is on the PATH, else "".
QString DesktopMailProgram();

// The body text as lines (an empty text has none) and back.
std::vector<std::string> BodyLines(const QString& text);
QString BodyText(const std::vector<std::string>& lines);
// A text file's bytes as text: UTF-8 when they are valid UTF-8, else
// Windows-1252 (the code page of the program's own text files).
QString TextFileToQString(const std::string& bytes);

// The glyph in colour, or in grey when the coloured-buttons setting is off.
QIcon ButtonIcon(const QIcon& icon, bool colour);

} // namespace quorel::ui
