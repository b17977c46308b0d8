// Built with every sink of the diagnostic print switched on.
#include <gtest/gtest.h>

#include <string>

#include "app/debug_print.h"
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

}  // namespace
