#include "sharing/NSObject_DMJSON.h"

#include "sharing/DMJsonWriter.h"

QString DMJsonTraceDescription(const QList<fnd::Error>& trace) {
  QStringList lines;
  for (const fnd::Error& error : trace)
    lines.append(QStringLiteral("Error Domain=%1 Code=%2 \"%3\"")
                     .arg(error.domain())
                     .arg(error.code())
                     .arg(error.localizedDescription()));
  return QStringLiteral("(\n    ") + lines.join(QStringLiteral(",\n    ")) + QStringLiteral("\n)");
}

QString JSONFragment(const QVariant& value) {
  DMJsonWriter writer;
  const QString json = writer.stringWithFragment(value);
  if (json.isNull())
    qWarning("-JSONFragment failed. Error trace is: %s",
             qPrintable(DMJsonTraceDescription(writer.errorTrace())));
  return json;
}

QString JSONRepresentation(const QVariant& value) {
  DMJsonWriter writer;
  const QString json = writer.stringWithObject(value);
  if (json.isNull())
    qWarning("-JSONRepresentation failed. Error trace is: %s",
             qPrintable(DMJsonTraceDescription(writer.errorTrace())));
  return json;
}
