#pragma once

#include <QString>

// The size text of the export panel.
class FileSizeText {
 public:
  // Decimal units as the desktop's file managers show them: "Zero KB",
  // "1 byte", "999 bytes", "1 KB" (whole kilobytes), "1.5 MB" (tenths),
  // "2.35 GB" (hundredths); trailing zeros are dropped.
  static QString fileStyle(qint64 bytes);
  // The older binary form "%.1f K" up to 1,048,576 bytes, "%.1f M" above.
  static QString legacy(qint64 bytes);
};
