// Path texts, natively.
#include <gtest/gtest.h>

#include "platform/path.h"

namespace {

struct ExtensionCase {
    const char* path;
    const char* ext;
    bool appended;
    const char* result;
};

class DefaultExtension : public testing::TestWithParam<ExtensionCase> {};

TEST_P(DefaultExtension, IsAppendedOnlyWhenTheFileNameHasNoDot) {
    const ExtensionCase& c = GetParam();
    String path(c.path);
    EXPECT_EQ(set_default_extension(path, c.ext), c.appended);
    EXPECT_STREQ(path.text(), c.result);
}

INSTANTIATE_TEST_SUITE_P(Cases, DefaultExtension, testing::Values(
    ExtensionCase{"C:\\dir.x\\setup", "EXE", true, "C:\\dir.x\\setup.EXE"},
    ExtensionCase{"setup.bin", "EXE", false, "setup.bin"},
    ExtensionCase{"C:\\Program Files\\My Setup\\setup", "EXE", true, "C:\\Program Files\\My Setup\\setup.EXE"},
    ExtensionCase{"setup", ".exe", true, "setup.exe"},
    ExtensionCase{"C:\\a.b\\c.d\\", "EXE", true, "C:\\a.b\\c.d\\.EXE"},
    ExtensionCase{"", "EXE", true, ".EXE"}));

}  // namespace
