// The file object against real files under Wine.
#include <gtest/gtest.h>

#include "platform/file.h"

namespace {

void make_file(const char* path, const char* text) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(h);
}

TEST(File, OpeningAMissingFileFailsAndLeavesItClosed) {
    File file;
    EXPECT_FALSE(file.open_for_reading("C:\\tests\\missing.bin", false));
    EXPECT_FALSE(file.is_open());
}

TEST(File, ASharedOpenLetsOthersReadWhileAnExclusiveOneDoesNot) {
    make_file("C:\\tests\\shared.txt", "abc");
    File first, second;
    ASSERT_TRUE(first.open_for_reading("C:\\tests\\shared.txt", false));
    EXPECT_TRUE(second.open_for_reading("C:\\tests\\shared.txt", false));
    second.close();
    first.close();

    ASSERT_TRUE(first.open_for_reading("C:\\tests\\shared.txt", true));
    EXPECT_FALSE(second.open_for_reading("C:\\tests\\shared.txt", false));
}

}  // namespace
