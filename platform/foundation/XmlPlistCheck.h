// A scan of XML property-list text before libplist parses it: container
// nesting is bounded (the parser recurses per element), and integers and
// dates must be well formed and in range (the parser would silently turn
// bad ones into wrong values), and NUL bytes are refused.
#pragma once

#include <QByteArray>
#include <QString>

namespace fnd {

class XmlPlistCheck {
 public:
  static bool isSound(const QByteArray& data, int maximumDepth, QString* why);
};

}  // namespace fnd
