#pragma once

#include <optional>
#include <string>
#include <string_view>

// A profile file as Windows keeps one: "[section]" lines and "key=value" lines, sections and
// keys matched without regard to case, the first match winning, blanks around keys and values
// trimmed and one matching pair of quotes around a value dropped. A write replaces the key's
// line in place, or adds the key at the end of its section, or a new section at the end of the
// file; lines it adds end in CR LF, and every other line (comments, unknown keys, blank lines)
// is kept byte for byte, its own line end included.
// Texts are Windows-1252 bytes. Every call reads or writes the file anew; nothing is cached.
namespace platform {

// The folder that holds a profile file named without a folder: $XDG_CONFIG_HOME when it is an
// absolute path, else ~/.config. No trailing slash.
std::string ProfileFolder();

class ProfileFile {
public:
    // A bare file name is placed in ProfileFolder(); a name with a folder is taken as it is.
    explicit ProfileFile(std::string_view fileName);

    const std::string& Path() const { return path_; }

    // The value, or nullopt when the file, the section or the key is missing. A file that
    // cannot be read, is no plain file or is larger than any profile of ours (1 MiB) reads
    // as missing.
    std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // A value that is not a decimal 32-bit integer reads as the default.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // Stored as an integer: 0 is false, any other integer true.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Creates the file, its folder and the section as needed and replaces the file in one step
    // (a new file renamed over the old). False when it could not be read or written, when the
    // user may not write it, or when the value holds a line break or the section or key could
    // not stand in the file; the file is then left as it was.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;
    bool WriteInteger(std::string_view section, std::string_view key, int value) const;
    bool WriteBool(std::string_view section, std::string_view key, bool value) const;

    // Removes the temporaries that writes of the file killed before their rename left where a
    // write puts them (ReplaceFile), and nothing else.
    void RemoveStaleTemporaries() const;

private:
    std::string path_;
};

} // namespace platform
