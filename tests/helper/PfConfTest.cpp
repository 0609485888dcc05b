// SPDX-License-Identifier: MIT
// The edits of pf.conf in the cases the engine's own tests do not reach.
#include "PfConf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Optional;

namespace {

const std::string kReference = "dummynet-anchor \"com.veltrane\"";

TEST(PfConfTest, TheReferenceGoesBeforeTheFirstFilterAnchorLineOrAfterTheLastLine) {
    EXPECT_EQ(PfConf::withAnchorReferenceInserted("pass all\n  anchor\t\"a\"\n"),
              "pass all\n" + kReference + "\n  anchor\t\"a\"\n");
    // "anchors" or a bare "anchor" is no filter anchor line.
    EXPECT_EQ(PfConf::withAnchorReferenceInserted("anchors x\nanchor"),
              "anchors x\nanchor\n" + kReference);
    // A final line feed makes an empty last line, so the new line follows it.
    EXPECT_EQ(PfConf::withAnchorReferenceInserted("pass all\n"), "pass all\n\n" + kReference);
    EXPECT_EQ(PfConf::withAnchorReferenceInserted(""), "\n" + kReference);
    EXPECT_TRUE(PfConf::containsAnchorReference("  " + kReference));
    EXPECT_FALSE(PfConf::containsAnchorReference("dummynet-anchor \"com.apple/*\"\n"));
}

TEST(PfConfTest, RemovingDropsEveryExactLineAndUndoesAnInsertByteForByte) {
    const std::string text = "a\n" + kReference + "\nb\n\t" + kReference + "  \nc";
    EXPECT_THAT(PfConf::withoutAnchorReference(text), Optional(std::string("a\nb\nc")));
    EXPECT_EQ(PfConf::withoutAnchorReference("a\nb\n"), std::nullopt);
    for (const std::string original : {"a\nanchor \"x\"\n", "a\n", "a", ""}) {
        EXPECT_THAT(PfConf::withoutAnchorReference(PfConf::withAnchorReferenceInserted(original)),
                    Optional(original));
    }
}

} // namespace
