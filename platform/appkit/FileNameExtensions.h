// The extension part of a file name as save panels propose it: a name keeps
// its stem and takes the extension of the type the file will be written as.
#pragma once

#include <QString>
#include <QStringList>

namespace ui {

class FileNameExtensions {
 public:
  // `name` with its extension replaced by `extension` when the old one is
  // among `replaceable` (any case), else with `extension` appended. Already
  // ending in `extension` (any case), it is returned as it is; an empty
  // `extension` leaves the name alone.
  static QString replacing(const QString& name, const QStringList& replaceable,
                           const QString& extension);
  // Whether `path`'s extension is one of `extensions`, in any case.
  static bool hasOneOf(const QString& path, const QStringList& extensions);
};

}  // namespace ui
