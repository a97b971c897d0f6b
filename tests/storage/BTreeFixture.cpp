#include "BTreeFixture.h"

#include <cstdlib>
#include <filesystem>

namespace storagetest {

void BTreeFixture::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "btree-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
}

void BTreeFixture::TearDown() {
    FbStopEngine();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
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

std::string RecordKey(std::int32_t n) {
    std::string digits = std::to_string(n);
    return std::string(digits.size() < 8 ? 8 - digits.size() : 0, ' ') + digits;
}

} // namespace storagetest
