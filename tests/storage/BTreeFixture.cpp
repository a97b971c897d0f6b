#include "BTreeFixture.h"

#include "FaultyFileOps.h"
#include "StorageSession.h"

#include <cstdlib>
#include <filesystem>

namespace storagetest {

void BTreeFixture::TearDown() {
    FbStopEngine();
}

void BTreeFixture::StartEngine(int buffers) {
    ASSERT_EQ(FbStartEngine(0, buffers), buffers);
}

Fileblock* BTreeFixture::CreateAndOpen(const std::string& name, const std::vector<TKeySpec>& keys) {
    TKeySpecs specs{};
    for (std::size_t i = 0; i < keys.size(); ++i)
        specs[i] = keys[i];
    FbCreate(Path(name), 464, static_cast<std::uint16_t>(keys.size()), specs);
    EXPECT_TRUE(FbOk) << FbErrorCode;
    return Open(name);
}

Fileblock* BTreeFixture::Open(const std::string& name) {
    Fileblock* fb = nullptr;
    FbOpen(fb, Path(name), false, false, false, false);
    EXPECT_TRUE(FbOk) << FbErrorCode;
    return fb;
}

void BTreeFixture::Close(Fileblock*& fb) {
    FbClose(fb);
    EXPECT_TRUE(FbOk) << FbErrorCode;
}

Fileblock* BTreeFixture::Reopen(Fileblock*& fb, const std::string& name) {
    Close(fb);
    const IndexReport report = Check(name);
    EXPECT_TRUE(report.Sound()) << report.FaultText();
    return Open(name);
}

IndexReport BTreeFixture::Check(const std::string& name) const {
    return CheckIndexFile(DataPath(name), IndexPath(name));
}

void BTreeFixture::WriteDeepIndex(const std::string& name, int freePages, int levels) {
    Fileblock* fb = CreateAndOpen(name, {{1, false}});
    Close(fb);
    using test::Concat;
    using test::Le32;
    const std::size_t row = 626; // 62 * (1 + 9) + 6
    const std::int32_t live = 2 * levels - 1;
    const std::int32_t allocated = live + freePages;
    std::vector<unsigned char> file(static_cast<std::size_t>(allocated + 1) * row, 0);
    const auto put = [&](std::size_t at, const std::vector<unsigned char>& bytes) {
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(at));
    };
    const std::vector<unsigned char> itemsPerPage{62, 0};
    put(0, Concat({Le32(freePages > 0 ? live + 1 : -1), Le32(freePages), Le32(allocated), Le32(626), Le32(1),
                   std::vector<unsigned char>{0, 0}, Le32(62 * live), itemsPerPage}));
    for (std::int32_t page = 1; page <= live; ++page) {
        const int level = page == 1 ? 1 : page / 2 + 1;
        const std::int32_t down = level < levels ? (page == 1 ? 2 : 2 * (page / 2) + 2) : 0;
        const std::size_t at = static_cast<std::size_t>(page) * row;
        put(at, Concat({itemsPerPage, Le32(down)}));
        for (int i = 1; i <= 62; ++i) {
            const std::int32_t child = down == 0 ? 0 : (i == 1 ? down + 1 : down);
            put(at + 6 + static_cast<std::size_t>(i - 1) * 10,
                Concat({Le32(i), Le32(child),
                        std::vector<unsigned char>{1, static_cast<unsigned char>(0x40 + i)}}));
        }
    }
    for (std::int32_t page = live + 1; page <= allocated; ++page)
        put(static_cast<std::size_t>(page) * row, Le32(page < allocated ? page + 1 : -1));
    test::WriteWholeFile(IndexPath(name), file);
}

std::string RecordKey(std::int32_t n) {
    std::string digits = std::to_string(n);
    return std::string(digits.size() < 8 ? 8 - digits.size() : 0, ' ') + digits;
}

} // namespace storagetest
