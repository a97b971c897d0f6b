#include "FaultyFileOps.h"
#include "TempFolder.h"

#include "storage/FilePrimitives.h"
#include "storage/FileViews.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace {

using storage::FileRecord;

class FileViews : public ::testing::Test {
protected:
    void SetUp() override {
        storage::ResetStatus();
        storage::FileSetName(file, folder.File("viewed.IX"));
        storage::FileCreate(file);
        ASSERT_TRUE(FbOk);
    }
    void TearDown() override {
        storage::ResetStatus();
        if (file.IsOpen()) storage::FileClose(file);
        storage::ResetStatus();
    }
    void Write(std::int64_t offset, const std::string& text) {
        storage::FileWriteAt(file, offset, static_cast<std::int32_t>(text.size()), text.data());
        ASSERT_TRUE(FbOk);
    }
    // The bytes through the view; empty when the view did not serve them.
    std::string ViewRead(std::int64_t offset, std::int32_t length) {
        std::string bytes(static_cast<std::size_t>(length), '\0');
        return storage::ReadThroughView(file, offset, length, bytes.data()) ? bytes : std::string();
    }

    test::TempFolder folder;
    FileRecord file;
};

TEST_F(FileViews, ShowEveryWriteAndGrowthButNothingPastTheEnd) {
    Write(0, "abcdefgh");
    EXPECT_EQ(ViewRead(2, 4), "cdef");
    EXPECT_EQ(file.position, 6);
    Write(2, "XY");
    EXPECT_EQ(ViewRead(0, 4), "abXY");
    // Past the end the caller reads, so a short read is reported as before.
    EXPECT_EQ(ViewRead(6, 4), "");
    Write(8, "ijkl");
    EXPECT_EQ(ViewRead(6, 6), "ghijkl");
    // Far beyond the first view's room: a new view is made.
    storage::FileZeroFill(file, 12, 3 << 20);
    Write((3 << 20) + 12, "tail");
    EXPECT_EQ(ViewRead((3 << 20) + 10, 6), std::string(2, '\0') + "tail");
    EXPECT_TRUE(FbOk);
}

TEST_F(FileViews, CutFileIsReadAgain) {
    Write(0, "abcdefgh");
    EXPECT_EQ(ViewRead(0, 8), "abcdefgh");
    storage::FileTruncateAt(file, 4);
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(ViewRead(0, 8), "");
    EXPECT_EQ(ViewRead(0, 4), "abcd");
}

TEST_F(FileViews, OtherFileOperationsSeeEveryRead) {
    Write(0, "abcdefgh");
    EXPECT_EQ(ViewRead(0, 8), "abcdefgh");
    {
        test::FaultyFileOps faulty;
        EXPECT_EQ(ViewRead(0, 8), "");
        // A write they may lose: the view made before is not trusted afterwards.
        Write(8, "ijkl");
    }
    EXPECT_EQ(ViewRead(0, 12), "abcdefghijkl");
}

} // namespace

namespace {

TEST_F(FileViews, AFileCutByAnotherProgramIsAReadErrorUntilItIsClosed) {
    storage::FileZeroFill(file, 0, 5 << 12);
    Write(4 << 12, "page five");
    EXPECT_EQ(ViewRead(4 << 12, 9), "page five");
    ASSERT_EQ(::truncate(file.name.c_str(), 100), 0);
    std::string bytes(9, '\0');
    EXPECT_TRUE(storage::ReadThroughView(file, 4 << 12, 9, bytes.data()));
    EXPECT_EQ(FbErrorCode, fberr::kReadError);
    // Within what is left, through the view or not, and written: the same.
    for (int round = 0; round < 2; ++round) {
        storage::ResetStatus();
        storage::FileReadAtViewed(file, round == 0, 0, 8, bytes.data());
        EXPECT_EQ(FbErrorCode, fberr::kReadError);
    }
    storage::ResetStatus();
    storage::FileWriteAt(file, 0, 4, "abcd");
    EXPECT_EQ(FbErrorCode, fberr::kReadError);
    storage::ResetStatus();
    storage::FileClose(file);
    EXPECT_TRUE(FbOk);
    storage::FileOpenExisting(file, false, false);
    EXPECT_EQ(ViewRead(0, 8), std::string(8, '\0'));
}

} // namespace
