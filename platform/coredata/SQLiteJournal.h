// The rollback journal SQLite keeps beside a store file while a save
// commits ("<file>-journal"). One left by a save that never finished (a
// crash, a kill, power loss) holds the pages as they were before that save:
// until it is played back the file is a mix of two saves. Only a connection
// that may write the file plays it back; a read-only one refuses the file.
// And a journal left beside a path belongs to the file that was there: a new
// file renamed to that path would get the old file's pages played into it.
#pragma once

#include <QString>

#include "foundation/Error.h"

namespace cd {

class SQLiteJournal {
 public:
  static QString pathFor(const QString& storePath);
  // Whether the file starts as an SQLite database does. A journal is only
  // ever played into such a file: beside anything else (a picture saved
  // over a store) it belongs to a file that is no longer there.
  static bool isDatabaseFile(const QString& path);
  // Whether anything (a file, or a link) stands at the journal's path.
  static bool exists(const QString& storePath);

  // Plays a journal left by an unfinished save back into the store file,
  // which leaves the file as it was before that save, and removes the
  // journal. A journal of a save still running in another connection is
  // left to it. Fails when the file or its folder may not be written.
  static bool rollBack(const QString& storePath, fnd::Error* error);

  // Copies the store file and its journal into `folder` and plays the
  // journal back there: the user's files are only read. Returns the copy's
  // path, empty on failure.
  static QString rolledBackCopy(const QString& storePath, const QString& folder, fnd::Error* error);

  // Before another file is renamed to `storePath`: a journal of the store
  // there is played back into it first (should the rename never happen, that
  // file stays whole), and whatever journal is still left is removed, so no
  // connection to the new file ever plays it.
  static bool clearForReplacement(const QString& storePath, fnd::Error* error);
};

}  // namespace cd
