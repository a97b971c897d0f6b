#include "BrinovaAPI.h"

#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"
#include "platform/Shell.h"
#include "platform/TempFolder.h"
#include "viewer/zelShowResult.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr const char* kSectionPosition = "POSITION";
constexpr const char* kSectionSize = "SIZE";
constexpr const char* kSectionOther = "OTHER";
constexpr const char* kSectionData = "DATA";
constexpr const char* kHelpContentsPage = "index.htm";

std::string configurationFile = "zelplus.ini";
std::string programFolderOverride;

#ifdef ZEL_HAVE_RESULT_VIEWER
constexpr TResultViewer kLibraryViewer = &zelShowResult;
#else
constexpr TResultViewer kLibraryViewer = nullptr;
#endif
TResultViewer resultViewer = kLibraryViewer;

platform::ProfileFile Profile() {
    return platform::ProfileFile(configurationFile);
}

} // namespace

// Texts typed on Linux may break lines with LF alone; a raw break would end the value's line
// in the file and lose the rest, so every break is stored as CR LF, then escaped.
std::string WithCrLfBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            result += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            result += c;
        }
    }
    return result;
}

namespace {

std::string ReplacedPairs(std::string_view text, std::string_view pair, std::string_view replacement) {
    std::string result;
    result.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t at = text.find(pair); at != std::string_view::npos; at = text.find(pair, start)) {
        result.append(text.substr(start, at - start));
        result.append(replacement);
        start = at + pair.size();
    }
    result.append(text.substr(start));
    return result;
}

std::string RunningProgramFolder() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
        const std::string program(buffer, static_cast<std::size_t>(length));
        const std::size_t slash = program.rfind('/');
        if (slash != std::string::npos) return program.substr(0, slash + 1);
    }
    if (char* current = ::getcwd(nullptr, 0)) {
        std::string folder = std::string(current) + "/";
        std::free(current);
        return folder;
    }
    return "./";
}

// The help is a folder of HTML pages beside the program; its contents page is "index.htm".
std::string HelpPageIn(std::string_view programFolder, std::string_view page) {
    return ReduceDoubledSeparators(std::string(programFolder) + "/help/" + std::string(page));
}

std::string DataFolderWithoutSlash() {
    return ReduceDoubledSeparators(ProgramFolder() + "/data");
}

// 0 when the data folder exists or was created, else the reason it could not be.
int CreateDataFolder() {
    const std::string folder = DataFolderWithoutSlash();
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return 0;
    if (::mkdir(folder.c_str(), 0777) == 0) return 0;
    return errno == EEXIST ? ENOTDIR : errno;
}

std::uintptr_t WindowHandleOf(QWidget* owner) {
    if (!owner && qobject_cast<QApplication*>(QCoreApplication::instance()))
        owner = QApplication::activeWindow();
    return owner ? static_cast<std::uintptr_t>(owner->window()->winId()) : 0;
}

} // namespace

// ---- Configuration file ------------------------------------------------------------------

void SetConfigurationFile(std::string fileName) {
    configurationFile = std::move(fileName);
}

std::string ConfigurationFile() {
    return Profile().Path();
}

TFormBounds LoadFormPosition(const TFormBounds& current) {
    const platform::ProfileFile profile = Profile();
    TFormBounds bounds;
    bounds.left = profile.ReadInteger(kSectionPosition, "LEFT", current.left);
    bounds.top = profile.ReadInteger(kSectionPosition, "TOP", current.top);
    bounds.width = profile.ReadInteger(kSectionSize, "WIDTH", current.width);
    bounds.height = profile.ReadInteger(kSectionSize, "HEIGHT", current.height);
    return bounds;
}

void LoadFormPosition(QWidget& mainWindow) {
    const TFormBounds bounds =
        LoadFormPosition({mainWindow.x(), mainWindow.y(), mainWindow.width(), mainWindow.height()});
    mainWindow.move(bounds.left, bounds.top);
    mainWindow.resize(bounds.width, bounds.height);
}

bool SaveFormPosition(const TFormBounds& bounds) {
    if (!ReadSavePosition()) return true;
    const platform::ProfileFile profile = Profile();
    bool ok = profile.WriteInteger(kSectionPosition, "LEFT", bounds.left);
    ok = profile.WriteInteger(kSectionPosition, "TOP", bounds.top) && ok;
    ok = profile.WriteInteger(kSectionSize, "WIDTH", bounds.width) && ok;
    ok = profile.WriteInteger(kSectionSize, "HEIGHT", bounds.height) && ok;
    return ok;
}

bool SaveFormPosition(const QWidget& mainWindow) {
    return SaveFormPosition({mainWindow.x(), mainWindow.y(), mainWindow.width(), mainWindow.height()});
}

bool ReadSavePosition() {
    return Profile().ReadBool(kSectionOther, "SAVEPOS", true);
}
bool WriteSavePosition(bool save) {
    return Profile().WriteBool(kSectionOther, "SAVEPOS", save);
}
bool ReadUseViewer() {
    return Profile().ReadBool(kSectionOther, "VIEWER", false);
}
bool WriteUseViewer(bool useViewer) {
    return Profile().WriteBool(kSectionOther, "VIEWER", useViewer);
}

std::string ReadOwnerText() {
    return UnescapeLineBreaks(Profile().ReadString(kSectionData, "OWNER", ""));
}

bool WriteOwnerText(std::string_view text) {
    return Profile().WriteString(kSectionData, "OWNER", EscapeLineBreaks(WithCrLfBreaks(text)));
}

std::string ReadLastSupplier() {
    return UnescapeLineBreaks(Profile().ReadString(kSectionData, "LAST_SUPPLIER", ""));
}

bool WriteLastSupplier(std::string_view text) {
    return Profile().WriteString(kSectionData, "LAST_SUPPLIER", EscapeLineBreaks(WithCrLfBreaks(text)));
}

std::string EscapeLineBreaks(std::string_view text) {
    return ReplacedPairs(text, "\r\n", "~~");
}

std::string UnescapeLineBreaks(std::string_view text) {
    return ReplacedPairs(text, "~~", "\r\n");
}

std::string OneLineText(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\r') c = ';';
        if (c == '\n') c = ' ';
    }
    const auto kept = [](char c) { return static_cast<unsigned char>(c) > ' '; };
    std::size_t first = 0;
    while (first < line.size() && !kept(line[first]))
        ++first;
    std::size_t end = line.size();
    while (end > first && !kept(line[end - 1]))
        --end;
    return line.substr(first, end - first);
}

// ---- Paths -------------------------------------------------------------------------------

void SetProgramFolder(std::string folder) {
    programFolderOverride = std::move(folder);
}

std::string ProgramFolder() {
    if (!programFolderOverride.empty()) return programFolderOverride;
    static const std::string running = RunningProgramFolder();
    return running;
}

std::string ReduceDoubledSeparators(std::string path) {
    for (std::size_t at = path.find("//"); at != std::string::npos; at = path.find("//", at))
        path.erase(at, 1);
    return path;
}

std::string TempFolder() {
    std::string folder = platform::TempFolder();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string ResultFilePath() {
    const std::string folder = TempFolder();
    return folder.empty() ? std::string() : folder + "zelreslt.htm";
}

bool ResultPathUsable(const std::string& resultPath, QWidget* owner) {
    if (!resultPath.empty()) return true;
    platform::Messages().Show(owner, QStringLiteral("Error"),
                              QStringLiteral("The result page cannot be written: no private temporary "
                                             "folder could be made for it."),
                              platform::MessageIcon::Error, platform::MessageButtons::Ok);
    return false;
}
std::string DataFolder() {
    return ReduceDoubledSeparators(ProgramFolder() + "/data/");
}
std::string DataFilePath() {
    return DataFolder() + "zelp.DAT";
}
std::string BackgroundBitmapPath() {
    return ReduceDoubledSeparators(ProgramFolder() + "/bg.bmp");
}
std::string HelpFilePath() {
    return HelpPageIn(ProgramFolder(), kHelpContentsPage);
}

bool EnsureDataFolder() {
    return CreateDataFolder() == 0;
}

int StartBrinovaAPI() {
    // A run killed while it rewrote the configuration file left its temporary beside it.
    Profile().RemoveStaleTemporaries();
    const int reason = CreateDataFolder();
    if (reason == 0) return 0;
    const QString folder = QFile::decodeName(QByteArray::fromStdString(DataFolderWithoutSlash()));
    const QString why = QString::fromStdString(std::generic_category().message(reason));
    platform::Messages().Show(nullptr, QStringLiteral("Error"),
                              QStringLiteral("The data folder \"%1\" could not be created: %2.\n"
                                             "Brinova Vesk+ cannot run without it.")
                                  .arg(folder, why),
                              platform::MessageIcon::Error, platform::MessageButtons::Ok);
    return 1;
}

// ---- Result display, help and web links ----------------------------------------------------

const char* const kHomePageAddress = "https://www.example.com/brinova-vesk-plus/";
const char* const kContactMailAddress = "mailto:brinova-vesk@example.com?subject=Brinova%20Vesk%2B";

TResultViewer SetResultViewer(TResultViewer viewer) {
    const TResultViewer previous = resultViewer;
    resultViewer = viewer ? viewer : kLibraryViewer;
    return previous;
}

void ShowResult(QWidget* owner) {
    const std::string path = ResultFilePath();
    if (path.empty()) return;
    // Without the viewer library in the build the browser is the only way to show the page.
    if (ReadUseViewer() && resultViewer) {
        resultViewer(WindowHandleOf(owner), path.c_str());
        return;
    }
    // Should no browser take the page, the box names the program's own viewer, which needs none.
    const QString ownViewer = resultViewer ? QStringLiteral("The program's own viewer can show the results: "
                                                            "choose \"Internal viewer\" under \"Results "
                                                            "viewer\" in File, Set parameters.")
                                           : QString();
    platform::OpenOrReport(platform::FileUrl(path), ownViewer);
}

std::optional<THelpTarget> HelpTopicTarget(std::uint8_t topic, std::string_view programFolder) {
    static constexpr const char* kPages[] = {kHelpContentsPage, "inputfields.htm", "recs.htm",
                                             "maintenance.htm", "setup.htm"};
    topic &= 0x7F;
    if (topic > 4) return std::nullopt;
    return THelpTarget{HelpPageIn(programFolder, kPages[topic]), kPages[topic]};
}

void ShowHelpTopic(std::uint8_t topic) {
    if (const auto target = HelpTopicTarget(topic, ProgramFolder()))
        platform::OpenOrReport(platform::FileUrl(target->helpFile));
}

void OpenHomePage() {
    platform::OpenOrReport(QUrl(QString::fromLatin1(kHomePageAddress)));
}

void OpenContactMail() {
    platform::OpenOrReport(QUrl(QString::fromLatin1(kContactMailAddress)));
}
