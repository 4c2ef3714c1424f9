// What the JSON reader and writer share: the nesting limit and the error
// trace, in which each error chains the one before it, so the outermost error
// says what gave up and its underlying errors say why.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include "foundation/Error.h"
#include "foundation/Observable.h"

inline const QString DMJsonErrorDomain = QStringLiteral("org.dellmora.JSON.ErrorDomain");

// JSON null among read and written values.
inline QVariant DMJsonNull() { return QVariant::fromValue(nullptr); }

class DMJsonBase : public fnd::Observable {
 public:
  // With maxDepth 0 nesting is still stopped here, well before the stack's
  // end, however deep the input goes.
  static constexpr quint64 hardDepthLimit = 4096;

  DMJsonBase() = default;

  void addErrorWithCode(unsigned code, const QString& description);
  void clearErrorTrace();
  // Innermost error first; empty when the last read or write succeeded.
  QList<fnd::Error> errorTrace() const { return errorTrace_; }

  quint64 maxDepth() const { return maxDepth_; }
  void setMaxDepth(quint64 maxDepth) { maxDepth_ = maxDepth; }

  QVariant valueForKey(const QString& key) const override;

 protected:
  // Counts one more level of nesting; false (with error 7) beyond the limit.
  bool enterNesting();
  void leaveNesting() { --depth_; }

  quint64 depth_ = 0;

 private:
  quint64 maxDepth_ = 512;
  QList<fnd::Error> errorTrace_;
};
