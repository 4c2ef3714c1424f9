// While a KeptJournal lives, SQLite's removal of rollback journals in this
// process is skipped: a commit then ends with its journal still beside the
// file, exactly as a save killed (or cut off by power loss) just before that
// removal leaves it. The file holds the new save; the journal the pages as
// they were, which the next connection that may write plays back.
// Connections that committed so must be closed before the file is read
// again in this process.
#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <cstring>

namespace tst {

class KeptJournal {
 public:
  KeptJournal() : vfs_(sqlite3_vfs_find(nullptr)) {
    vfs_->xSetSystemCall(vfs_, "unlink", reinterpret_cast<sqlite3_syscall_ptr>(&keepJournals));
  }
  ~KeptJournal() { vfs_->xSetSystemCall(vfs_, "unlink", nullptr); }
  KeptJournal(const KeptJournal&) = delete;
  KeptJournal& operator=(const KeptJournal&) = delete;

 private:
  static int keepJournals(const char* path) {
    const size_t length = std::strlen(path);
    if (length > 8 && std::strcmp(path + length - 8, "-journal") == 0) return 0;
    return ::unlink(path);
  }
  sqlite3_vfs* vfs_;
};

}  // namespace tst
