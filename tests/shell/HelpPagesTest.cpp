// The user guide as shipped: every window's Help names a page that is there (and the part of it
// the window asks for), and no page links to one that is not.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "shell/HelpPages.h"

using namespace krl;
namespace fs = std::filesystem;

namespace {

const fs::path kGuide = KRL_HELP_DIR;

std::string read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "page.html#part" resolves when the page is in the guide and, with a part, has that id.
::testing::AssertionResult resolves(const std::string& target, const std::string& from) {
    const std::string file = target.substr(0, target.find('#'));
    const fs::path path = kGuide / (file.empty() ? from : file);
    if (!fs::is_regular_file(path))
        return ::testing::AssertionFailure() << from << " -> " << target << ": no such page";
    const auto hash = target.find('#');
    if (hash != std::string::npos &&
        read(path).find("id=\"" + target.substr(hash + 1) + "\"") == std::string::npos)
        return ::testing::AssertionFailure() << from << " -> " << target << ": no such part";
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(HelpPages, EveryWindowsHelpOpensAPageOfTheGuide) {
    for (const HelpPage& p : kHelpPages)
        EXPECT_TRUE(resolves(std::string(p.page), "index.html"));
}

TEST(HelpPages, EveryLocalLinkOfEveryPageResolves) {
    const std::regex link(R"re((?:href|src)="([^"]*)")re");
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(kGuide)) {
        if (entry.path().extension() != ".html")
            continue;
        ++pages;
        const std::string from = entry.path().filename().string();
        const std::string text = read(entry.path());
        for (std::sregex_iterator m(text.begin(), text.end(), link), end; m != end; ++m) {
            const std::string target = (*m)[1].str();
            if (target.find(':') == std::string::npos) {  // not http:, mailto: ...
                EXPECT_TRUE(resolves(target, from));
            }
        }
    }
    EXPECT_GE(pages, static_cast<int>(kHelpPages.size()) / 2);
}
