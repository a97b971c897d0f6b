#include "app/BrinovaAPI.h"

#include "support/FileText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

// The help pages as the build puts them beside the program.
namespace fs = std::filesystem;

namespace {

TEST(HelpPages, EveryTopicHasItsPageBesideTheProgram) {
    std::set<std::string> pages;
    for (int topic = 0; topic <= 4; ++topic) {
        const auto target = HelpTopicTarget(static_cast<std::uint8_t>(topic), ZELPLUS_BIN_DIR);
        ASSERT_TRUE(target) << topic;
        EXPECT_TRUE(fs::is_regular_file(target->helpFile)) << target->helpFile;
        EXPECT_EQ(fs::path(target->helpFile).parent_path(), fs::path(ZELPLUS_BIN_DIR) / "help");
        pages.insert(target->page);
    }
    EXPECT_EQ(pages.size(), 5u);
    EXPECT_TRUE(pages.count("index.htm"));
}

TEST(HelpPages, EveryLinkLeadsToAPageOfTheFolderAndEveryPageIsReached) {
    const fs::path folder = fs::path(ZELPLUS_BIN_DIR) / "help";
    const std::regex link(R"re(href="([^"]*)")re", std::regex::icase);
    std::set<std::string> reached;
    int files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        ++files;
        const std::string page = FileText(entry.path());
        EXPECT_NE(page.find("<title>"), std::string::npos) << entry.path();
        for (std::sregex_iterator at(page.begin(), page.end(), link), end; at != end; ++at) {
            const std::string target = (*at)[1];
            SCOPED_TRACE(entry.path().filename().string() + " -> " + target);
            EXPECT_EQ(target.find(':'), std::string::npos) << "a link leaves the help";
            EXPECT_EQ(target.find('/'), std::string::npos);
            EXPECT_TRUE(fs::is_regular_file(folder / target));
            reached.insert(target);
        }
    }
    EXPECT_EQ(files, 5);
    EXPECT_EQ(reached.size(), 5u) << "each page is linked from another";
}

} // namespace
