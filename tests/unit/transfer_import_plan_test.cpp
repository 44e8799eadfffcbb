// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "support/transfer_blocks.h"
#include "transfer/config_file.h"

namespace varnet {
namespace {

using test::Concat;
using test::HeaderBytes;
using test::Payload;
using test::Tagged;
using test::TextBytes;

constexpr uint8_t kModel = 5;

ImportPlan Plan(const std::vector<uint8_t>& file, uint8_t model = kModel) {
  return PlanImport(file.data(), file.size(), model);
}

void ExpectRefusal(const std::optional<Message>& m, MessageId id, Caption caption) {
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->id, id);
  EXPECT_EQ(m->caption, caption);
  EXPECT_EQ(m->icon, Icon::Error);
}

// What a well-formed file sends, and the refusals that reach the scanner's
// handshake, are checked against the simulated scanner.
TEST(ImportPlan, BytesAfterTheFormatBlockAreNotLookedAt) {
  const auto fp = Payload(33, 0, 3);
  ImportPlan plan = Plan(Concat({Tagged("%ICF%", Payload(200)), Tagged("%IFF%", fp), TextBytes("trailing")}));
  ASSERT_TRUE(plan.parameter.block && plan.formatAfterParameter.block);
  EXPECT_EQ(plan.formatAfterParameter.block->payload, fp);
}

TEST(ImportPlan, FilesOf28BytesOrLessDoNothing) {
  EXPECT_TRUE(Plan({}).tooShort);
  EXPECT_TRUE(Plan(HeaderBytes("%ICF%", 192)).tooShort);
  ImportPlan one = Plan(Concat({HeaderBytes("%ICF%", 192), {0}}));
  EXPECT_FALSE(one.tooShort);
  ExpectRefusal(one.parameter.refusal, MessageId::IncorrectConfigFile, Caption::Error4);
}

TEST(ImportPlan, ParameterHeaderChecksInOrder) {
  struct Row {
    const char* what;
    std::vector<uint8_t> file;
    Caption caption;
  };
  auto bad5 = HeaderBytes("%ICF%", 192);
  bad5[5] = 'X';
  std::vector<Row> rows = {
      {"L 191", Tagged("%ICF%", Payload(191)), Caption::Error1},
      // The length is judged before the tag.
      {"L 191, other tag", Tagged("XXXXX", Payload(191)), Caption::Error1},
      {"other tag", Tagged("%ICX%", Payload(192)), Caption::Error4},
      {"byte 5 not zero", Concat({bad5, Payload(192)}), Caption::Error4},
      {"payload short by one", Concat({HeaderBytes("%ICF%", 192), Payload(191)}), Caption::Error4},
      {"announced 0xFFFFFFFF", Concat({HeaderBytes("%ICF%", 0xFFFFFFFF), Payload(300)}), Caption::Error4},
      // Refused for its length even when the file holds all of it.
      {"length beyond the bound", Tagged("%ICF%", Payload(kMaxSettingsBlock + 1)), Caption::Error4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ImportPlan plan = Plan(row.file);
    ExpectRefusal(plan.parameter.refusal, MessageId::IncorrectConfigFile, row.caption);
    EXPECT_FALSE(plan.parameter.block);
    EXPECT_FALSE(plan.parameter.endsImport);
  }
  ImportPlan ok = Plan(Tagged("%ICF%", Payload(192)));
  EXPECT_FALSE(ok.parameter.refusal);
  ASSERT_TRUE(ok.parameter.block);
}

TEST(ImportPlan, FirstHeaderTaggedAsFormatBlockIsWrittenAsTheFormatBlock) {
  // Refused as a parameter block, the same header is then the format block,
  // its payload read right behind it.
  for (auto [n, caption] : {std::pair{size_t(10), Caption::Error1}, {size_t(300), Caption::Error4}}) {
    const auto fp = Payload(n, 0, 4);
    ImportPlan plan = Plan(Concat({HeaderBytes("%IFF%", uint32_t(n)), fp}));
    ExpectRefusal(plan.parameter.refusal, MessageId::IncorrectConfigFile, caption);
    ASSERT_TRUE(plan.formatOtherwise.block) << n;
    EXPECT_EQ(plan.formatOtherwise.block->payload, fp);
    EXPECT_TRUE(plan.formatOtherwise.block->header.HasTag("%IFF%"));
  }
}

TEST(ImportPlan, FormatBlockRefusals) {
  auto ph = HeaderBytes("%ICF%", 192);
  auto pp = Payload(192);
  struct Row {
    const char* what;
    std::vector<uint8_t> rest;
  };
  std::vector<Row> rows = {
      {"second tag not %IFF%", Tagged("%ICF%", Payload(4))},
      {"L2 of 0", HeaderBytes("%IFF%", 0)},
      {"length beyond the bound", Tagged("%IFF%", Payload(kMaxSettingsBlock + 1))},
      {"announced 0xFFFFFFFF", Concat({HeaderBytes("%IFF%", 0xFFFFFFFF), Payload(100)})},
      // A second header cut short keeps the rest of the first one, whose
      // length then decides; here it asks for far more than there is.
      {"second header cut after the tag", TextBytes(std::string("%IFF%\0", 6))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ImportPlan plan = Plan(Concat({ph, pp, row.rest}));
    ASSERT_TRUE(plan.parameter.block);
    ExpectRefusal(plan.formatAfterParameter.refusal, MessageId::IncorrectConfigFile, Caption::OutputDataFormat);
    EXPECT_FALSE(plan.formatAfterParameter.block);
  }
  // The largest block allowed is taken.
  ImportPlan max = Plan(Concat({ph, pp, HeaderBytes("%IFF%", kMaxSettingsBlock), Payload(kMaxSettingsBlock)}));
  ASSERT_TRUE(max.formatAfterParameter.block);
  EXPECT_EQ(max.formatAfterParameter.block->payload.size(), kMaxSettingsBlock);
}

}  // namespace
}  // namespace varnet
