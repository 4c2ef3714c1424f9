// Seeds of the JSON target: replies of the shapes the social network sends,
// written by our own writer, compact and indented.
#include "SeedWriter.h"
#include "sharing/DMDecimalNumber.h"
#include "sharing/DMJSON.h"

namespace {

QVariant number(const char* text) {
  return QVariant::fromValue(*DMDecimalNumber::fromText(QByteArrayView(text)));
}

}  // namespace

void SeedWriter::writeJsonTexts() {
  const QVariantMap photo{{"pid", "1234567890123_456"},
                          {"aid", "98765"},
                          {"created", number("1600000000")},
                          {"score", number("-0.5e-3")}};
  const QVariantMap error{
      {"error_code", number("190")},
      {"error_msg", QString::fromUtf8("Invalid OAuth \"token\"\n\t\x01 é 😀")},
      {"request_args", QVariantList{QVariantMap{{"key", "method"}, {"value", "photos.upload"}}}}};
  const QVariantList list{true,
                          false,
                          QVariant::fromValue(nullptr),
                          number("12345678901234567890"),
                          QVariantList{QVariantList{QVariantMap{}}},
                          QString("a/b\\c")};
  const struct {
    const char* name;
    QVariant value;
  } seeds[] = {{"photo", photo}, {"error", error}, {"list", list}};
  for (const auto& seed : seeds) {
    for (bool human : {false, true}) {
      DMJSON json;
      json.setHumanReadable(human);
      json.setSortKeys(true);
      write("json", QString::fromLatin1(seed.name) + (human ? "-indented.json" : ".json"),
            json.stringWithObject(seed.value).toUtf8());
    }
  }
}
