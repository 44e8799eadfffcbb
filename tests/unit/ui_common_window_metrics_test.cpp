// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "ui_common/window_metrics.h"

using namespace varnet;

TEST(WindowMetrics, EffectiveHeightAndRowLimitForCommonScreens) {
  struct Case {
    int w, h, effective, rows;
  } cases[] = {
      {1920, 1080, 1080, 15}, {1280, 1024, 960, 15}, {1440, 900, 810, 8},    {1600, 900, 900, 10},
      {2560, 1080, 1080, 15}, {1024, 768, 768, 8},   {1920, 1200, 1080, 15}, {1366, 768, 768, 8},
  };
  for (auto& c : cases) {
    EXPECT_EQ(EffectiveHeightFor(c.w, c.h), c.effective) << c.w << "x" << c.h;
    EXPECT_EQ(RowLimitFor(EffectiveHeightFor(c.w, c.h)), c.rows) << c.w << "x" << c.h;
  }
}
