#pragma once

#include <string>

// The names of a Fileblock's three files. A name "data;index" names the data file and the
// index file apart (split at the first semicolon; a further one cuts the index part);
// without a semicolon both parts are the whole name. Names are kept whole: a cut could give
// two files one name, or name another file.
namespace storage {

struct FileblockNames {
    std::string data;   // data part + "DAT"
    std::string index;  // index part + "IX"
    std::string dialog; // data part + "DIA"
};

// The extension rule: the last full stop's extension is replaced by `extension` unless a
// folder separator follows the full stop; otherwise a full stop and `extension` are added.
std::string WithExtension(const std::string& name, const std::string& extension);

FileblockNames NamesOf(const std::string& fileblockName);

} // namespace storage
