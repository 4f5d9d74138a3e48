// Record layouts that compiled files and callers rely on.
#include <intl.h>

#include <gtest/gtest.h>

#include <cstddef>

namespace {

TEST(Header, MappingRecordIsTheCompiledFileImage) {
    EXPECT_EQ(sizeof(INTL_MAP), 24u);
    EXPECT_EQ(offsetof(INTL_MAP, src_left), 0u);
    EXPECT_EQ(offsetof(INTL_MAP, dest_chars), 4u);
    EXPECT_EQ(offsetof(INTL_MAP, src_pattern), 8u);
    EXPECT_EQ(offsetof(INTL_MAP, dest_pattern), 15u);
    EXPECT_EQ(alignof(INTL_MAP), 4u);
}

TEST(Header, TableHeadersAreNativeOn64BitAndFileImagesOn32Bit) {
    EXPECT_EQ(offsetof(INTL_XLIST, listsize), 0u);
    EXPECT_EQ(sizeof(INTL_XLATE), 256 * sizeof(INTL_XLIST));
    if (sizeof(void *) == 4) {
        EXPECT_EQ(sizeof(INTL_XLIST), 8u);
        EXPECT_EQ(sizeof(INTL_XLATE), 2048u);
    }
}

TEST(Header, FixedFieldsHaveTheirDeclaredSizes) {
    INTL_LOCFILE l;
    INTL_DATEINFO d;
    INTL_ARGVAL a;
    INTL_FMT f;
    EXPECT_EQ(sizeof l.line, 512u);
    EXPECT_EQ(sizeof l.section, 64u);
    EXPECT_EQ(sizeof l.entry, 64u);
    EXPECT_EQ(sizeof l.value, 513u);
    EXPECT_EQ(sizeof d.months, 12u * 21);
    EXPECT_EQ(sizeof d.shortmonths, 12u * 10);
    EXPECT_EQ(sizeof d.days, 7u * 31);
    EXPECT_EQ(sizeof d.dateorder, 4u);
    EXPECT_EQ(sizeof a.cvtspec, 21u);
    EXPECT_EQ(sizeof a.value, 8u);
    EXPECT_EQ(sizeof f.fmt, 21u);
    EXPECT_EQ(sizeof(INTL_INT), 4u);
    EXPECT_EQ(sizeof(INTL_LONG), 4u);
}

} // namespace
