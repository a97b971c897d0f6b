#include "uFormula.h"

#include "TempFolder.h"
#include "support/FileText.h"

#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <vector>

namespace {

// The library as the program loads it: beside the program in bin/, the tests in tests/.
std::string LibraryPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" /
            "libqformula.so")
        .string();
}

// The names of the defined global and weak symbols in the dynamic symbol table.
std::set<std::string> ExportedSymbols(const std::string& path) {
    const std::string file = FileText(path);
    std::set<std::string> names;
    if (file.size() < sizeof(Elf64_Ehdr)) return names;
    Elf64_Ehdr header;
    std::memcpy(&header, file.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
        return names;
    auto section = [&](std::size_t index) {
        Elf64_Shdr s;
        std::memcpy(&s, file.data() + header.e_shoff + index * header.e_shentsize, sizeof s);
        return s;
    };
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr strings = section(symbols.sh_link);
        for (std::size_t offset = 0; offset + sizeof(Elf64_Sym) <= symbols.sh_size;
             offset += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, file.data() + symbols.sh_offset + offset, sizeof symbol);
            const int binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) continue;
            names.insert(std::string(file.data() + strings.sh_offset + symbol.st_name));
        }
    }
    return names;
}

} // namespace

TEST(QFormulaLibrary, ExportsOnlyQuibsFormula) {
    const std::string path = LibraryPath();
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(ExportedSymbols(path), std::set<std::string>{"QuibsFormula"});
}

TEST(QFormulaLibrary, ExportWritesThePageWhenLoaded) {
    void* library = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using Export = std::int32_t (*)(const TFormulaArgs*);
    auto quibsFormula = reinterpret_cast<Export>(dlsym(library, "QuibsFormula"));
    ASSERT_NE(quibsFormula, nullptr);
    EXPECT_EQ(dlsym(library, "_Z11BuildReportPK12TFormulaArgs"), nullptr);

    const test::TempFolder dir;
    const std::string page = dir.File("zelreslt.htm");
    const std::vector<unsigned char> body(208, 0), test(448, 0);
    const TFormulaArgs args{page.c_str(), "Owner", body.data(), test.data()};
    EXPECT_EQ(quibsFormula(&args), -1);
    EXPECT_GT(std::filesystem::file_size(page), 1000u);
    const TFormulaArgs noBody{page.c_str(), "Owner", nullptr, test.data()};
    EXPECT_EQ(quibsFormula(&noBody), 0);
    EXPECT_EQ(quibsFormula(nullptr), 0);
    dlclose(library);
}
