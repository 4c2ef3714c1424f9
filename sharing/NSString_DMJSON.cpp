#include "sharing/NSString_DMJSON.h"

#include "sharing/DMJsonParser.h"
#include "sharing/NSObject_DMJSON.h"

QVariant JSONFragmentValue(const QString& text) {
  DMJsonParser parser;
  const QVariant value = parser.fragmentWithString(text);
  if (!value.isValid())
    qWarning("-JSONFragmentValue failed. Error trace is: %s",
             qPrintable(DMJsonTraceDescription(parser.errorTrace())));
  return value;
}

QVariant JSONValue(const QString& text) {
  DMJsonParser parser;
  const QVariant value = parser.objectWithString(text);
  if (!value.isValid())
    qWarning("-JSONValue failed. Error trace is: %s",
             qPrintable(DMJsonTraceDescription(parser.errorTrace())));
  return value;
}
