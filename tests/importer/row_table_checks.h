#pragma once

#include <gtest/gtest.h>

#include <string>

#include "importer/row_table.h"

namespace tavrin::testing {

// A table that is one line per row reads from its row text as it was built: the same
// rows with the same points in time, groups, codes and values as the conversion sees
// them (up to a ";"), the same range, lines and CGM marker. A table with a value holding a CR LF
// reads as more lines, but with the same range and marker.
inline void ExpectRowsReadAsTheirText(const RowTable& rows) {
  const RowTable read = RowTable::FromText(rows.Text());
  EXPECT_TRUE(read.Range() == rows.Range());
  EXPECT_EQ(read.HasCgmMarker(), rows.HasCgmMarker());
  if (!rows.Exact()) return;
  ASSERT_EQ(read.Size(), rows.Size());
  for (std::size_t i = 0; i < rows.Size(); ++i) {
    const RowTable::Row& a = rows[i];
    const RowTable::Row& b = read[i];
    std::string lineA;
    std::string lineB;
    rows.AppendLine(a, lineA);
    read.AppendLine(b, lineB);
    lineA.resize(lineA.size() - (rows.Value(a).size() - rows.ConvertedValue(a).size()));
    ASSERT_EQ(lineA, lineB) << "row " << i;
    ASSERT_EQ(a.flags, b.flags) << lineA;
    ASSERT_TRUE(RowTable::When(a) == RowTable::When(b)) << lineA;
    ASSERT_EQ(rows.Code(a), read.Code(b)) << lineA;
    ASSERT_EQ(rows.ConvertedValue(a), read.Value(b)) << lineA;
  }
}

}  // namespace tavrin::testing
