#include "storage/FileNames.h"

namespace storage {

std::string WithExtension(const std::string& name, const std::string& extension) {
    const auto dot = name.find_last_of('.');
    // Both separators count: the slash of this system and the backslash of stored names.
    if (dot != std::string::npos && name.find_first_of("/\\", dot) == std::string::npos)
        return name.substr(0, dot + 1) + extension;
    return name + "." + extension;
}

FileblockNames NamesOf(const std::string& fileblockName) {
    std::string dataPart = fileblockName;
    std::string indexPart = fileblockName;
    const auto semicolon = fileblockName.find(';');
    if (semicolon != std::string::npos) {
        dataPart = fileblockName.substr(0, semicolon);
        indexPart = fileblockName.substr(semicolon + 1);
        const auto further = indexPart.find(';');
        if (further != std::string::npos) indexPart.resize(further);
    }
    return {WithExtension(dataPart, "DAT"), WithExtension(indexPart, "IX"), WithExtension(dataPart, "DIA")};
}

} // namespace storage
