// Reads XML property lists with Qt's XML tokenizer straight into QVariant
// trees, without recursion. Nesting is counted in elements as the tokenizer
// sees them, so no comment, CDATA section or attribute can hide structure,
// and every scalar is checked (XmlPlistText) before it becomes a value.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QXmlStreamReader>
#include <vector>

namespace fnd {

class XmlPlistReader {
 public:
  // The value, or a null QVariant and `why` when `data` is not a sound
  // property list: malformed XML, unknown elements, text outside values,
  // keys out of place, bad scalars, or arrays and dictionaries nested more
  // than `maximumDepth` deep.
  static QVariant read(const QByteArray& data, int maximumDepth, QString* why);

 private:
  struct Container {
    bool isDictionary = false;
    QVariantList list;
    QVariantMap map;
    QString key;
    bool hasKey = false;
  };

  XmlPlistReader(const QByteArray& data, int maximumDepth);
  bool run();
  bool startElement();
  bool endContainer();
  bool readKey();
  bool expectValue();
  bool add(const QVariant& value);
  bool readText(QString* text);
  bool scalar(QStringView name, const QString& text, QVariant* value);
  bool fail(const QString& why);

  QXmlStreamReader xml_;
  int maximumDepth_;
  std::vector<Container> open_;
  bool insidePlist_ = false;
  bool hasRoot_ = false;
  QVariant root_;
  QString why_;
};

}  // namespace fnd
