// JSON: reading and writing a 2,000-entry reply of the kind the social network
// sends (strings with escapes and accents, large identifiers, numbers,
// booleans, null, nested objects). The peer is Qt's own JSON on the same
// bytes, into and out of the same QVariant values (it keeps numbers as
// doubles, so it does less than our decimals); the floor is memcpy of the bytes.
#include <benchmark/benchmark.h>

#include <QJsonDocument>
#include <cstring>
#include <vector>

#include "BenchReport.h"
#include "sharing/DMJSON.h"

namespace {

bench::Timings timings;

QString sampleText() {
  QString text = QStringLiteral("[");
  for (int i = 0; i < 2000; ++i) {
    if (i) text += u',';
    text += QStringLiteral(
                "{\"id\":\"%1_%2\",\"message\":\"Photo n\\u00b0%2 \\\"caf\\u00e9\\\" from the "
                "terrace\\nsee more at http:\\/\\/example.org\\/p\\/%2\",\"created_time\":%3,"
                "\"score\":%4,\"public\":%5,\"place\":null,\"likes\":{\"count\":%2,\"data\":"
                "[{\"id\":\"%6\",\"name\":\"Zoë Ånström\"}]}}")
                .arg(100000000000000LL + i)
                .arg(i)
                .arg(1600000000 + i)
                .arg(i * 0.25)
                .arg(i % 2 ? "true" : "false")
                .arg(9000000000000000000ULL + i);
  }
  return text + u']';
}

const QString& text() {
  static const QString sample = sampleText();
  return sample;
}

const QByteArray& utf8() {
  static const QByteArray bytes = text().toUtf8();
  return bytes;
}

const QVariant& value() {
  static const QVariant read = DMJSON().objectWithString(text());
  return read;
}

void BM_MemcpyFloor(benchmark::State& state) {
  std::vector<char> copy(size_t(utf8().size()));
  bench::timed(state, timings, "memcpy", [&] {
    std::memcpy(copy.data(), utf8().constData(), copy.size());
    benchmark::DoNotOptimize(copy.data());
  });
}

void BM_ReadOurs(benchmark::State& state) {
  bench::timed(state, timings, "read", [&] {
    DMJSON json;
    const QVariant read = json.objectWithString(text());
    if (read.toList().size() != 2000) state.SkipWithError("the sample did not read");
    benchmark::DoNotOptimize(read);
  });
}

void BM_ReadQtPeer(benchmark::State& state) {
  bench::timed(state, timings, "read_qt", [&] {
    const QVariant read = QJsonDocument::fromJson(text().toUtf8()).toVariant();
    if (read.toList().size() != 2000) state.SkipWithError("Qt did not read the sample");
    benchmark::DoNotOptimize(read);
  });
}

void BM_WriteOurs(benchmark::State& state) {
  bench::timed(state, timings, "write", [&] {
    DMJSON json;
    const QString written = json.stringWithObject(value());
    if (written.isEmpty()) state.SkipWithError("the sample did not write");
    benchmark::DoNotOptimize(written);
  });
}

void BM_WriteQtPeer(benchmark::State& state) {
  const QVariant asDoubles = QJsonDocument::fromJson(utf8()).toVariant();
  bench::timed(state, timings, "write_qt", [&] {
    const QString written =
        QString::fromUtf8(QJsonDocument::fromVariant(asDoubles).toJson(QJsonDocument::Compact));
    benchmark::DoNotOptimize(written);
  });
}

void BM_Report(benchmark::State& state) {
  for (auto _ : state) {
  }
  timings.printFigures();
  bench::figure("json_reply_bytes", double(utf8().size()), "B");
  bench::ratio("json_read_vs_qt", timings.get("read") / timings.get("read_qt"));
  bench::ratio("json_read_vs_memcpy", timings.get("read") / timings.get("memcpy"));
  bench::ratio("json_write_vs_qt", timings.get("write") / timings.get("write_qt"));
  bench::ratio("json_write_vs_memcpy", timings.get("write") / timings.get("memcpy"));
}

}  // namespace

BENCHMARK(BM_MemcpyFloor);
BENCHMARK(BM_ReadOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadQtPeer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteQtPeer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Report)->Iterations(1);
