// What an autosaved copy in the autosave folder stands for: the document's
// own file (none for an untitled document), its type and name, and the
// process keeping the copy. Written beside the copy, so a copy left behind
// by a crash or a kill goes back to its document at the next start.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace ui {

struct AutosaveRecord {
  QUrl contentsURL;      // the autosaved copy
  QString contentsType;  // the type the copy is written in
  QUrl fileURL;          // the document's file; empty when it has none
  QString fileType;
  QString displayName;
  qint64 pid = 0;  // the process keeping the copy

  // "Autosave Information" in the user's state folder, made owner-only.
  static QString folder();
  // Beside the copy, replaced in one step.
  bool write() const;
  // The copy and its record.
  static void remove(const QUrl& contentsURL);
  // The record only: the copy stands for nothing to give back.
  static void removeRecord(const QUrl& contentsURL);
  // Records of copies no running Tessaly keeps, oldest first. Records
  // whose copy is gone are removed on the way.
  static QList<AutosaveRecord> leftBehind();
  static bool read(const QString& recordPath, AutosaveRecord* record);
};

}  // namespace ui
