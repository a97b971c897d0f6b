#include "ProfileFile.h"

#include "Cp1252.h"
#include "PlainFile.h"
#include "ReplaceFile.h"

#include <QChar>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Windows compares profile names with the user's case rules; the names are Windows-1252 bytes.
char32_t Folded(char byte) {
    return QChar::toCaseFolded(static_cast<char32_t>(Cp1252ToUnicode(static_cast<unsigned char>(byte))));
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Folded(a[i]) != Folded(b[i])) return false;
    return true;
}

// The section named by a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trimmed(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trimmed(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nullopt for any other line.
std::optional<std::string_view> KeyOf(std::string_view line) {
    if (SectionOf(line)) return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return Trimmed(line.substr(0, equals));
}

// Windows drops one matching pair of quotes around the trimmed value: "Jane" and 'Jane' read
// as Jane, a lone or unmatched quote stays.
std::string_view ValueOf(std::string_view line) {
    std::string_view value = Trimmed(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// The lines Windows writes end in CR LF.
constexpr std::string_view kNewLineEnd = "\r\n";

// The file as lines, each with its own line end ("" for a last line that has none), so a
// rewrite gives back every line it did not change byte for byte.
struct ProfileText {
    struct Line {
        std::string text;
        std::string end;
    };
    std::vector<Line> lines;

    explicit ProfileText(std::string_view content) {
        while (!content.empty()) {
            const std::size_t newline = content.find('\n');
            std::string_view text = content.substr(0, newline);
            std::size_t endLength = newline == std::string_view::npos ? 0 : 1;
            if (!text.empty() && text.back() == '\r') {
                text.remove_suffix(1);
                ++endLength;
            }
            lines.push_back({std::string(text), std::string(content.substr(text.size(), endLength))});
            if (newline == std::string_view::npos) break;
            content.remove_prefix(newline + 1);
        }
    }

    std::string Content() const {
        std::string content;
        for (const Line& line : lines)
            content += line.text + line.end;
        return content;
    }

    // The lines of the first section of that name: [header, end).
    struct Range {
        std::size_t header;
        std::size_t end;
    };
    std::optional<Range> FindSection(std::string_view section) const {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto name = SectionOf(lines[i].text);
            if (!name || !SameName(*name, section)) continue;
            std::size_t end = i + 1;
            while (end < lines.size() && !SectionOf(lines[end].text))
                ++end;
            return Range{i, end};
        }
        return std::nullopt;
    }

    std::optional<std::size_t> FindKey(const Range& range, std::string_view key) const {
        for (std::size_t i = range.header + 1; i < range.end; ++i) {
            const auto name = KeyOf(lines[i].text);
            if (name && SameName(*name, key)) return i;
        }
        return std::nullopt;
    }

    // A new line at `at`; a line before it that ended the file gets a line end first.
    void Insert(std::size_t at, std::string text) {
        if (at > 0 && lines[at - 1].end.empty()) lines[at - 1].end = kNewLineEnd;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                     Line{std::move(text), std::string(kNewLineEnd)});
    }

    void Set(std::string_view section, std::string_view key, std::string_view value) {
        const std::string keyLine = std::string(key) + "=" + std::string(value);
        const auto range = FindSection(section);
        if (!range) {
            Insert(lines.size(), "[" + std::string(section) + "]");
            Insert(lines.size(), keyLine);
            return;
        }
        if (const auto at = FindKey(*range, key)) {
            // Keep the line's own spelling of the key and its blanks up to the '='.
            std::string& line = lines[*at].text;
            line = line.substr(0, line.find('=') + 1) + std::string(value);
            return;
        }
        std::size_t after = range->end;
        while (after > range->header + 1 && Trimmed(lines[after - 1].text).empty())
            --after;
        Insert(after, keyLine);
    }
};

enum class ReadResult { Read, Missing, Failed };

// The program's own settings take a few hundred bytes; anything far larger is no profile of
// ours, and reading it whole on every access could exhaust the memory.
constexpr std::size_t kMaxProfileSize = 1 << 20;

ReadResult ReadWholeFile(const std::string& path, std::string& content) {
    PlainFileRead read = ReadPlainFile(path, kMaxProfileSize);
    content = std::move(read.bytes);
    if (read.result == PlainFileRead::Result::Read) return ReadResult::Read;
    return read.result == PlainFileRead::Result::Missing ? ReadResult::Missing : ReadResult::Failed;
}

// A profile file reached through a symbolic link is written where the link points.
std::string WriteTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target = resolved;
            std::free(resolved);
            return target;
        }
    }
    return path;
}

// Creates the profile's folder as needed, then replaces the file in one step.
bool StoreFile(const std::string& path, std::string_view content) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    return !error && ReplaceFile(path, content);
}

std::optional<int> DecimalInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string WithoutTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

std::string ProfileFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return WithoutTrailingSlashes(config);
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return WithoutTrailingSlashes(std::string(home && *home ? home : ".") + "/.config");
}

ProfileFile::ProfileFile(std::string_view fileName)
    : path_(fileName.find('/') == std::string_view::npos ? ProfileFolder() + "/" + std::string(fileName)
                                                         : std::string(fileName)) {}

std::optional<std::string> ProfileFile::ReadString(std::string_view section, std::string_view key) const {
    std::string content;
    if (ReadWholeFile(path_, content) != ReadResult::Read) return std::nullopt;
    const ProfileText text(content);
    const auto range = text.FindSection(Trimmed(section));
    if (!range) return std::nullopt;
    const auto at = text.FindKey(*range, Trimmed(key));
    if (!at) return std::nullopt;
    return std::string(ValueOf(text.lines[*at].text));
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    return ReadString(section, key).value_or(std::string(defaultValue));
}

int ProfileFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const auto value = ReadString(section, key);
    if (!value) return defaultValue;
    return DecimalInteger(*value).value_or(defaultValue);
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) const {
    section = Trimmed(section);
    key = Trimmed(key);
    if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
        key.front() == '[')
        return false;

    const std::string target = WriteTarget(path_);
    std::string content;
    // Never overwrite what could not be read.
    const ReadResult read = ReadWholeFile(target, content);
    if (read == ReadResult::Failed) return false;
    // A file the user may not write keeps its values, as on Windows; renaming a new file over
    // it would go around its permissions.
    if (read == ReadResult::Read && ::access(target.c_str(), W_OK) != 0) return false;
    ProfileText text(content);
    text.Set(section, key, value);
    const std::string updated = text.Content();
    if (updated == content) return true;
    return StoreFile(target, updated);
}

void ProfileFile::RemoveStaleTemporaries() const {
    RemoveStaleTemporariesOf(WriteTarget(path_));
}

bool ProfileFile::WriteInteger(std::string_view section, std::string_view key, int value) const {
    return WriteString(section, key, std::to_string(value));
}

bool ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) const {
    return WriteString(section, key, value ? "1" : "0");
}

} // namespace platform
