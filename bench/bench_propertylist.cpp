// Property lists: reading a 2,000-entry dictionary of every kind, in XML and
// binary, and a 100,000-string binary array (whose reading once grew with the
// square of its length). XML is read by Qt's tokenizer straight into values; its peer is
// libplist parsing the same bytes into its own tree (and freeing it), which
// does no checking and builds no QVariant. The floor is memcpy of the bytes.
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <QDateTime>
#include <cstring>
#include <vector>

#include "BenchReport.h"
#include "foundation/PropertyList.h"

namespace {

bench::Timings timings;

QVariant sample() {
  QVariantMap map;
  for (int i = 0; i < 2000; ++i) {
    const QString key = QStringLiteral("entry %1").arg(i);
    switch (i % 6) {
      case 0:
        map.insert(key, qint64(i) * 1000003);
        break;
      case 1:
        map.insert(key, i / 7.0);
        break;
      case 2:
        map.insert(key, QStringLiteral("text of entry %1 & more").arg(i));
        break;
      case 3:
        map.insert(key, QByteArray(48, char(i)));
        break;
      case 4:
        map.insert(key, QDateTime::fromSecsSinceEpoch(1600000000 + i, Qt::UTC));
        break;
      default:
        map.insert(key, QVariantList{true, i, QVariantMap{{"nested", i}}});
        break;
    }
  }
  return map;
}

const QByteArray& bytes(fnd::PropertyListFormat format) {
  static const QByteArray xml =
      fnd::PropertyList::dataWithPropertyList(sample(), fnd::PropertyListFormat::XML);
  static const QByteArray binary =
      fnd::PropertyList::dataWithPropertyList(sample(), fnd::PropertyListFormat::Binary);
  return format == fnd::PropertyListFormat::XML ? xml : binary;
}

const QByteArray& longArray() {
  static const QByteArray bytes = [] {
    QVariantList list;
    for (int i = 0; i < 100000; ++i) list.append(QStringLiteral("item %1").arg(i));
    return fnd::PropertyList::dataWithPropertyList(list, fnd::PropertyListFormat::Binary);
  }();
  return bytes;
}

void BM_MemcpyFloor(benchmark::State& state) {
  const QByteArray& xml = bytes(fnd::PropertyListFormat::XML);
  std::vector<char> copy(size_t(xml.size()));
  bench::timed(state, timings, "memcpy_xml", [&] {
    std::memcpy(copy.data(), xml.constData(), copy.size());
    benchmark::DoNotOptimize(copy.data());
  });
}

void BM_LibplistXmlPeer(benchmark::State& state) {
  const QByteArray& xml = bytes(fnd::PropertyListFormat::XML);
  bench::timed(state, timings, "libplist_xml", [&] {
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    if (!root) state.SkipWithError("libplist refused the sample");
    plist_free(root);
  });
}

void read(benchmark::State& state, fnd::PropertyListFormat format, const char* name) {
  const QByteArray& data = bytes(format);
  bench::timed(state, timings, name, [&] {
    const QVariant value = fnd::PropertyList::propertyListWithData(data);
    if (value.toMap().size() != 2000) state.SkipWithError("the sample did not read back");
    benchmark::DoNotOptimize(value);
  });
}

void BM_ReadXml(benchmark::State& state) { read(state, fnd::PropertyListFormat::XML, "read_xml"); }

void BM_ReadBinary(benchmark::State& state) {
  read(state, fnd::PropertyListFormat::Binary, "read_binary");
}

void BM_ReadLongBinaryArray(benchmark::State& state) {
  const QByteArray& data = longArray();
  bench::timed(state, timings, "read_long_binary_array", [&] {
    const QVariant value = fnd::PropertyList::propertyListWithData(data);
    if (value.toList().size() != 100000) state.SkipWithError("the array did not read back");
    benchmark::DoNotOptimize(value);
  });
}

void BM_MemcpyLongArrayFloor(benchmark::State& state) {
  const QByteArray& data = longArray();
  std::vector<char> copy(size_t(data.size()));
  bench::timed(state, timings, "memcpy_long_binary_array", [&] {
    std::memcpy(copy.data(), data.constData(), copy.size());
    benchmark::DoNotOptimize(copy.data());
  });
}

void BM_Report(benchmark::State& state) {
  for (auto _ : state) {
  }
  timings.printFigures();
  bench::figure("plist_xml_bytes", double(bytes(fnd::PropertyListFormat::XML).size()), "B");
  bench::ratio("plist_read_xml_vs_libplist_parse",
               timings.get("read_xml") / timings.get("libplist_xml"));
  bench::ratio("plist_read_xml_vs_memcpy", timings.get("read_xml") / timings.get("memcpy_xml"));
  bench::ratio("plist_read_long_binary_array_vs_memcpy",
               timings.get("read_long_binary_array") / timings.get("memcpy_long_binary_array"));
}

}  // namespace

BENCHMARK(BM_MemcpyFloor);
BENCHMARK(BM_LibplistXmlPeer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyLongArrayFloor);
BENCHMARK(BM_ReadLongBinaryArray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Report)->Iterations(1);
