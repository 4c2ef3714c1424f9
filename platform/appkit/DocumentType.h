// A type of document the program opens: its type identifier, extensions,
// display name, and whether it is the program's own store format.
#pragma once

#include <QString>
#include <QStringList>

namespace ui {

// The program's own document format.
inline const QString TessalyDocumentType = QStringLiteral("com.brenwick.tessaly");
inline const QString TessalyDocumentExtension = QStringLiteral("zova");

struct DocumentType {
  QString name;
  QStringList extensions;  // the preferred one first
  QString displayName;
  bool isNative = false;    // saved as an object store
  bool isWritable = false;  // offered by Save As
};

}  // namespace ui
