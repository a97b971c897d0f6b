#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

// The program's configuration file "zelplus.ini", the texts kept in it, every path the program
// builds, and the services that hand work to other programs: the result page, help and the
// product's web page and mail address.
// Texts are Windows-1252 bytes; paths are the file system's bytes. Folders end in '/'.

// ---- Configuration file ------------------------------------------------------------------

// The profile file read and written by every call below; "zelplus.ini" in the profile folder
// unless a test names another file. Nothing is cached: each call reads or writes the file.
void SetConfigurationFile(std::string fileName);
std::string ConfigurationFile();

// A window's position (of its frame) and size (of its inside) as kept in POSITION and SIZE.
struct TFormBounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// POSITION/LEFT, POSITION/TOP, SIZE/WIDTH, SIZE/HEIGHT, each defaulting to `current`'s value.
TFormBounds LoadFormPosition(const TFormBounds& current);
void LoadFormPosition(QWidget& mainWindow);
// Writes the four values when OTHER/SAVEPOS (default true) is set, else nothing.
// False when the file could not be written.
bool SaveFormPosition(const TFormBounds& bounds);
bool SaveFormPosition(const QWidget& mainWindow);

// OTHER/SAVEPOS, default true.
bool ReadSavePosition();
bool WriteSavePosition(bool save);
// OTHER/VIEWER, default false: the result page opens in the program's own viewer.
bool ReadUseViewer();
bool WriteUseViewer(bool useViewer);
// DATA/OWNER and DATA/LAST_SUPPLIER, default empty; multi-line texts with CR LF breaks.
std::string ReadOwnerText();
bool WriteOwnerText(std::string_view text);
std::string ReadLastSupplier();
bool WriteLastSupplier(std::string_view text);

// Each CR LF as "~~" and back; a lone CR or LF stays as it is.
std::string EscapeLineBreaks(std::string_view text);
std::string UnescapeLineBreaks(std::string_view text);
// Every line break (CR LF, a lone CR or a lone LF) as CR LF.
std::string WithCrLfBreaks(std::string_view text);
// For one display line: CR becomes ';', LF a blank, blanks and control characters trimmed.
std::string OneLineText(std::string_view text);

// ---- Paths -------------------------------------------------------------------------------

// The running program's folder; a test may name another.
void SetProgramFolder(std::string folder);
std::string ProgramFolder();

// While the text holds two slashes in a row, the first of them is dropped.
std::string ReduceDoubledSeparators(std::string path);

// The private temporary folder ending in '/', or empty when there is none.
std::string TempFolder();
// TempFolder + "zelreslt.htm"; empty when there is no temporary folder. Never a relative path,
// which would put the page in whatever folder the program was started from.
std::string ResultFilePath();
// False, after an error box over `owner` saying so, when the result page has no place to go
// (`resultPath` empty).
bool ResultPathUsable(const std::string& resultPath, QWidget* owner);
std::string DataFolder();
std::string DataFilePath();
std::string BackgroundBitmapPath();
// The help's contents page, "help/index.htm" beside the program.
std::string HelpFilePath();

// True when the folder "data" in the program's folder exists or was created (that one level).
bool EnsureDataFolder();

// The unit's start, after the application object exists: makes sure the data folder exists.
// Returns 0 when the program may go on; otherwise it has shown an error box naming the folder
// and returns the exit status the program ends with.
int StartBrinovaAPI();

// ---- Result display, help and web links ----------------------------------------------------

// The viewer library's export, bound when the program loads; a test installs its own.
using TResultViewer = std::uintptr_t (*)(std::uintptr_t parentWindow, const char* fileName);
// Installs `viewer` (nullptr restores the library's); returns the previous one.
TResultViewer SetResultViewer(TResultViewer viewer);

// The result page in the program's viewer over `owner`'s window when OTHER/VIEWER is set (and
// returns when it closes), else in the default browser (returns at once). Without an owner the
// application's active window is the viewer's parent.
void ShowResult(QWidget* owner = nullptr);

// Where a help topic leads: the page's file in the folder "help" beside the program, and its name.
struct THelpTarget {
    std::string helpFile;
    std::string page;
};
// Topics 0 (the contents, "index.htm"), 1 "inputfields.htm", 2 "recs.htm", 3 "maintenance.htm",
// 4 "setup.htm"; the top bit is ignored and any other topic leads nowhere.
std::optional<THelpTarget> HelpTopicTarget(std::uint8_t topic, std::string_view programFolder);
// Opens the topic's help page in the desktop's browser; a topic that leads nowhere opens nothing.
void ShowHelpTopic(std::uint8_t topic);

extern const char* const kHomePageAddress;
extern const char* const kContactMailAddress;
void OpenHomePage();
void OpenContactMail();
