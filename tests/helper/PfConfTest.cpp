// SPDX-License-Identifier: MIT
#include "PfConf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Optional;

namespace {

const std::string kReference = "dummynet-anchor \"com.veltrane\"";

TEST(PfConfInsertTest, GoesBeforeTheFirstFilterAnchorPassingOverOtherAnchorKinds) {
    const std::string text = "scrub-anchor \"a/*\"\ndummynet-anchor \"a/*\"\nanchor \"a/*\"\n"
                             "anchor \"b\"\n";
    EXPECT_EQ(PfConf::withAnchorReferenceInserted(text),
              "scrub-anchor \"a/*\"\ndummynet-anchor \"a/*\"\n" + kReference +
                  "\nanchor \"a/*\"\nanchor \"b\"\n");
}

TEST(PfConfInsertTest, RecognisesIndentedAndTabSeparatedAnchorLines) {
    EXPECT_EQ(PfConf::withAnchorReferenceInserted("pass all\n\tanchor \"a\"\n"),
              "pass all\n" + kReference + "\n\tanchor \"a\"\n");
    EXPECT_EQ(PfConf::withAnchorReferenceInserted("pass all\n  anchor\t\"a\"\n"),
              "pass all\n" + kReference + "\n  anchor\t\"a\"\n");
    // "anchors" or a bare "anchor" is no filter anchor line.
    EXPECT_EQ(PfConf::withAnchorReferenceInserted("anchors x\nanchor"),
              "anchors x\nanchor\n" + kReference);
}

TEST(PfConfInsertTest, WithoutAnchorLinesItIsAppendedAfterTheLastLine) {
    // A final line feed makes an empty last line, so the new line follows it.
    EXPECT_EQ(PfConf::withAnchorReferenceInserted("pass all\n"), "pass all\n\n" + kReference);
    EXPECT_EQ(PfConf::withAnchorReferenceInserted("pass all"), "pass all\n" + kReference);
    EXPECT_EQ(PfConf::withAnchorReferenceInserted(""), "\n" + kReference);
}

TEST(PfConfPresenceTest, AnyOccurrenceCountsAsPresentEvenBehindAComment) {
    EXPECT_TRUE(PfConf::containsAnchorReference("x\n" + kReference + " # added by hand\n"));
    EXPECT_TRUE(PfConf::containsAnchorReference("  " + kReference));
    EXPECT_FALSE(PfConf::containsAnchorReference("dummynet-anchor \"com.apple/*\"\n"));
}

TEST(PfConfRemoveTest, DropsEveryExactLineTrimmedOfSpacesAndTabs) {
    const std::string text = "a\n" + kReference + "\nb\n\t" + kReference + "  \nc";
    EXPECT_THAT(PfConf::withoutAnchorReference(text), Optional(std::string("a\nb\nc")));
}

TEST(PfConfRemoveTest, KeepsALineWithACommentAndLeavesUntouchedTextAlone) {
    const std::string commented = "a\n" + kReference + " # keep\n";
    EXPECT_THAT(PfConf::withoutAnchorReference(commented), Optional(commented));
    EXPECT_EQ(PfConf::withoutAnchorReference("a\nb\n"), std::nullopt);
}

TEST(PfConfRemoveTest, UndoesAnInsertByteForByte) {
    for (const std::string original : {"a\nanchor \"x\"\n", "a\n", "a", ""}) {
        EXPECT_THAT(PfConf::withoutAnchorReference(PfConf::withAnchorReferenceInserted(original)),
                    Optional(original));
    }
}

} // namespace
