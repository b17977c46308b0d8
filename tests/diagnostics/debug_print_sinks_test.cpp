// Built with every sink of the diagnostic print switched on.
#include <gtest/gtest.h>

#include <string>

#include "diagnostics/debug_print.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(DebugPrintSinks, EveryLiveSinkGetsTheMessageAsFormattedAndTheBoxIsBounded) {
    static_assert(DEBUG_TO_CONSOLE && DEBUG_TO_LOGFILE && DEBUG_TO_MESSAGEBOX, "this test needs every sink");
    TempDir dir;
    ScopedWorkingDirectory cwd(dir.path());

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    DEBUG_PRINT("Faild to create %s kernel %d\n", "DecimateImage", -46);
    const std::string longText(5000, 'x');
    DEBUG_PRINT("%s", longText.c_str());
    const std::string console = testing::internal::GetCapturedStdout();
    const std::string box = testing::internal::GetCapturedStderr();  // the headless message box

    EXPECT_EQ(console, "Faild to create DecimateImage kernel -46\n" + longText);
    std::fflush(GetLogFile());
    EXPECT_EQ(ReadFileBytes(dir.file("log.txt")).size(), console.size());
    EXPECT_EQ(box, "---Veskaro---: Faild to create DecimateImage kernel -46\n\n---Veskaro---: " +
                       std::string(2047, 'x') + "\n");
}

// What a message box can hold of the output so far, from a line's start where it was cut.
TEST(DebugPrintSinks, RecentOutputKeepsTheEndThatFitsABox) {
    const auto lines = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += std::string(100, 'r') + "\n";
        }
        return text;
    };
    struct Case {
        const char* what;
        std::string printed;
        std::string expected;
    };
    const Case cases[] = {
        {"a line cut at its start is left out", std::string(3000, 'x') + "\nend\n", "end\n"},
        {"as many whole lines as fit", lines(30), lines(20)},
        {"one line longer than a box keeps its end", std::string(3000, 'y') + "\n",
         std::string(2046, 'y') + "\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        DEBUG_PRINT("%s", c.printed.c_str());
        const std::string recent = RecentDebugOutput();
        ShowDebugOutputInMessageBox();
        testing::internal::GetCapturedStdout();
        const std::string stderrText = testing::internal::GetCapturedStderr();
        EXPECT_EQ(recent, c.expected) << c.what;
        EXPECT_EQ(stderrText,
                  "---Veskaro---: " + c.printed.substr(0, 2047) + "\n---Veskaro---: " + c.expected + "\n")
            << c.what;
    }
}

}  // namespace
