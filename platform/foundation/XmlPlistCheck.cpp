#include "foundation/XmlPlistCheck.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cstring>
#include <limits>

namespace fnd {

namespace {

class Scanner {
 public:
  explicit Scanner(const QByteArray& data) : p_(data.constData()), end_(p_ + data.size()) {}

  bool scan(int maximumDepth, QString* why) {
    // XML has no NUL character, and the library asserts its strings hold none.
    if (std::memchr(p_, 0, size_t(end_ - p_))) return fail(why, "NUL character in XML");
    int depth = 0;
    for (; p_ < end_; ++p_) {
      if (*p_ != '<') continue;
      if (startsWith("<!--")) {
        if (!skipPast("-->")) return fail(why, "unterminated comment");
      } else if (startsWith("</array") || startsWith("</dict")) {
        --depth;
      } else if ((startsWith("<array") || startsWith("<dict")) && !selfClosing()) {
        if (++depth > maximumDepth) return fail(why, "nesting too deep");
      } else if (startsWith("<integer>")) {
        if (!integerFits(text("<integer>", "</integer>"))) return fail(why, "malformed integer");
      } else if (startsWith("<date>")) {
        if (!dateFits(text("<date>", "</date>"))) return fail(why, "malformed or unsupported date");
      }
    }
    return true;
  }

 private:
  bool startsWith(const char* word) const {
    const size_t n = std::strlen(word);
    return size_t(end_ - p_) >= n && std::memcmp(p_, word, n) == 0;
  }

  bool skipPast(const char* word) {
    const size_t n = std::strlen(word);
    for (; p_ + n <= end_; ++p_)
      if (std::memcmp(p_, word, n) == 0) return true;
    return false;
  }

  bool selfClosing() const {
    const char* close = static_cast<const char*>(std::memchr(p_, '>', size_t(end_ - p_)));
    return close && close[-1] == '/';
  }

  // The text between `open` at the cursor and `close`; moves past it.
  QByteArray text(const char* open, const char* close) {
    const char* start = p_ + std::strlen(open);
    p_ = start;
    if (!skipPast(close)) return QByteArray("\x01");  // unterminated: never valid
    return QByteArray(start, p_ - start).trimmed();
  }

  // Values are read back as qint64, so larger unsigned ones are refused
  // rather than wrapped.
  static bool integerFits(const QByteArray& text) {
    bool ok = false;
    text.toLongLong(&ok);
    return ok;
  }

  // The library keeps 32-bit seconds from 2001, so only 1933..2068 fit.
  static bool dateFits(const QByteArray& text) {
    static const QRegularExpression form("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(\\.\\d+)?Z$");
    const QString iso = QString::fromLatin1(text);
    if (!form.match(iso).hasMatch()) return false;
    const QDateTime date = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!date.isValid()) return false;
    const qint64 seconds = date.toSecsSinceEpoch() - 978307200LL;
    return seconds > std::numeric_limits<qint32>::min() &&
           seconds < std::numeric_limits<qint32>::max();
  }

  static bool fail(QString* why, const char* reason) {
    if (why) *why = QString::fromLatin1(reason);
    return false;
  }

  const char* p_;
  const char* end_;
};

}  // namespace

bool XmlPlistCheck::isSound(const QByteArray& data, int maximumDepth, QString* why) {
  return Scanner(data).scan(maximumDepth, why);
}

}  // namespace fnd
