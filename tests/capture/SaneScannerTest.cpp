// Scans from SANE's `test` scanner, checked against the bytes the same
// driver hands a plain SANE client, and the driver's errors as the user
// reads them.
#include <gtest/gtest.h>
#include <sane/sane.h>

#include <cstring>

#include "SaneTestBackend.h"
#include "capture/SaneFrameAssembler.h"
#include "capture/SaneScanner.h"
#include "foundation/Error.h"

namespace {

const bool kBackend = captest::useSaneTestBackend();

// What a plain client reads from test:0 with the same options, one frame.
struct RawScan {
  SANE_Parameters parameters{};
  QByteArray bytes;
};

RawScan rawScan(const QVariantMap& options) {
  RawScan scan;
  SANE_Handle handle = nullptr;
  if (sane_open("test:0", &handle) != SANE_STATUS_GOOD) return scan;
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* option = sane_get_option_descriptor(handle, i);
    if (!option) break;
    if (!option->name || !options.contains(option->name)) continue;
    const QVariant value = options.value(option->name);
    SANE_Word word = option->type == SANE_TYPE_FIXED ? SANE_FIX(value.toDouble()) : value.toInt();
    QByteArray text = value.toString().toUtf8();
    text.resize(option->size, '\0');
    void* data = option->type == SANE_TYPE_STRING ? static_cast<void*>(text.data()) : &word;
    sane_control_option(handle, i, SANE_ACTION_SET_VALUE, data, nullptr);
  }
  sane_start(handle);
  sane_get_parameters(handle, &scan.parameters);
  SANE_Byte buffer[65536];
  SANE_Int length = 0;
  while (sane_read(handle, buffer, sizeof buffer, &length) == SANE_STATUS_GOOD)
    scan.bytes.append(reinterpret_cast<char*>(buffer), length);
  sane_cancel(handle);
  sane_close(handle);
  return scan;
}

// Pixels of `image` that differ from the raw RGB frame (8 or 16 bits, the
// high byte of each 16-bit sample in host order).
int mismatchesWithRaw(const QImage& image, const RawScan& raw) {
  const int depth = raw.parameters.depth, bpl = raw.parameters.bytes_per_line;
  if (image.width() != raw.parameters.pixels_per_line || image.height() != raw.bytes.size() / bpl)
    return -1;
  int mismatches = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const auto* p = reinterpret_cast<const uchar*>(raw.bytes.constData()) + y * bpl;
      int channel[3];
      for (int c = 0; c < 3; ++c) {
        quint16 wide = 0;
        if (depth == 16) std::memcpy(&wide, p + 2 * (3 * x + c), 2);
        channel[c] = depth == 16 ? wide >> 8 : p[3 * x + c];
      }
      mismatches += image.pixel(x, y) != qRgb(channel[0], channel[1], channel[2]);
    }
  return mismatches;
}

std::shared_ptr<capture::Scanner> testScanner(int number = 0) {
  fnd::Error error;
  for (const capture::DevicePtr& device : capture::SaneScanner::scanners(&error))
    if (device->identifier() == QString("test:%1").arg(number))
      return std::dynamic_pointer_cast<capture::Scanner>(device);
  return nullptr;
}

QImage scan(capture::Scanner& scanner, const QVariantMap& options, fnd::Error* error) {
  capture::Progress progress;
  return scanner.scan({options}, progress, error);
}

}  // namespace

TEST(SaneScanner, ScansHoldTheDriversPixelsInEveryFormat) {
  ASSERT_TRUE(kBackend);
  auto scanner = testScanner();
  ASSERT_TRUE(scanner) << "SANE's test backend is not installed";
  EXPECT_EQ(scanner->type(), unsigned(capture::DeviceTypeScanner));
  const QVariantMap color{
      {"mode", "Color"}, {"depth", 8}, {"resolution", 30}, {"test-picture", "Color pattern"}};
  const RawScan raw = rawScan(color);
  fnd::Error error;
  const QImage colour = scan(*scanner, color, &error);
  ASSERT_FALSE(colour.isNull()) << error.localizedDescription().toStdString();
  EXPECT_EQ(mismatchesWithRaw(colour, raw), 0);
  QVariantMap deep = color;
  deep.insert("depth", 16);
  EXPECT_EQ(mismatchesWithRaw(scan(*scanner, deep, &error), rawScan(deep)), 0);
  // Three passes, red then green then blue, give the same page as one.
  QVariantMap passes = color;
  passes.insert("three-pass", true);
  EXPECT_EQ(scan(*scanner, passes, &error), colour);
  // Gray and lineart pages come out grey: black and white stay so.
  const QImage white = scan(
      *scanner, {{"mode", "Gray"}, {"resolution", 30}, {"test-picture", "Solid white"}}, &error);
  const QImage black =
      scan(*scanner,
           {{"mode", "Gray"}, {"depth", 1}, {"resolution", 30}, {"test-picture", "Solid black"}},
           &error);
  ASSERT_FALSE(white.isNull());
  ASSERT_FALSE(black.isNull());
  EXPECT_EQ(white.pixel(5, 5), qRgb(255, 255, 255));
  EXPECT_EQ(black.pixel(black.width() - 1, black.height() - 1), qRgb(0, 0, 0));
}

TEST(SaneScanner, DeviceErrorsSayWhatHappened) {
  ASSERT_TRUE(kBackend);
  auto scanner = testScanner();
  ASSERT_TRUE(scanner);
  const QVariantMap small{{"resolution", 25}};
  fnd::Error error;

  // Another program holding the scanner.
  SANE_Handle other = nullptr;
  ASSERT_EQ(sane_open("test:0", &other), SANE_STATUS_GOOD);
  EXPECT_TRUE(scan(*scanner, small, &error).isNull());
  EXPECT_EQ(error.code(), capture::ErrorBusy);
  EXPECT_TRUE(error.localizedDescription().contains("is busy"))
      << error.localizedDescription().toStdString();
  sane_close(other);

  // The driver reporting busy or an empty feeder in the middle of a page.
  const struct {
    const char* status;
    int code;
  } statuses[] = {{"SANE_STATUS_DEVICE_BUSY", capture::ErrorBusy},
                  {"SANE_STATUS_NO_DOCS", capture::ErrorNoDocument},
                  {"SANE_STATUS_IO_ERROR", capture::ErrorFailed}};
  for (const auto& s : statuses) {
    error = {};
    // Offering its select descriptor, the driver has begun the frame when
    // the scan reads, and so ends it cleanly after the failed read.
    EXPECT_TRUE(scan(*scanner,
                     {{"resolution", 25}, {"read-return-value", s.status}, {"select-fd", true}},
                     &error)
                    .isNull());
    EXPECT_EQ(error.code(), s.code) << s.status;
  }

  // Cancelled by the user.
  capture::Progress cancelled;
  cancelled.cancelled = true;
  error = {};
  EXPECT_TRUE(scanner->scan({small}, cancelled, &error).isNull());
  EXPECT_EQ(error.code(), capture::ErrorCancelled);
  EXPECT_TRUE(error.localizedDescription().contains("cancelled"));

  // A scanner that was listed and then went away.
  capture::SaneScanner gone("test:7", "Gone scanner");
  error = {};
  EXPECT_TRUE(scan(gone, small, &error).isNull());
  EXPECT_EQ(error.code(), capture::ErrorUnplugged);
  EXPECT_EQ(error.localizedDescription(), "The device “Gone scanner” is no longer connected.");

  // And the scanner works again once the driver does.
  EXPECT_FALSE(
      scan(*scanner, {{"resolution", 25}, {"read-return-value", "Default"}}, &error).isNull());
}

// Frames whose sizes disagree with their bytes are refused, never read past.
TEST(SaneFrameAssembler, RefusesFramesThatDoNotAddUp) {
  using F = capture::SaneFrameParameters;
  const struct {
    const char* what;
    F frame;
    int bytes;
  } bad[] = {
      {"unknown format", {7, true, 3, 1, 1, 8}, 3},
      {"unknown depth", {F::Gray, true, 3, 3, 1, 4}, 3},
      {"short lines", {F::Rgb, true, 5, 2, 1, 8}, 5},
      {"no line", {F::Gray, true, 10, 10, 3, 8}, 9},
      {"no width", {F::Gray, true, 10, 0, 1, 8}, 10},
      {"too tall", {F::Gray, true, 1, 1, -1, 8}, 70000},
      {"16-bit line too short", {F::Gray, true, 3, 2, 1, 16}, 3},
  };
  for (const auto& c : bad) {
    capture::SaneFrameAssembler assembler;
    QString problem;
    EXPECT_FALSE(assembler.addFrame(c.frame, QByteArray(c.bytes, '\x7f'), &problem)) << c.what;
    EXPECT_FALSE(problem.isEmpty()) << c.what;
  }
  // A page of unknown length ends at its last whole line; a colour pass of
  // another size than the first is refused.
  capture::SaneFrameAssembler assembler;
  QString problem;
  ASSERT_TRUE(
      assembler.addFrame({F::Red, false, 4, 4, -1, 8}, QByteArray(4 * 3 + 2, '\x10'), &problem));
  EXPECT_EQ(assembler.image().size(), QSize(4, 3));
  EXPECT_FALSE(assembler.addFrame({F::Green, false, 4, 4, 2, 8}, QByteArray(8, '\x20'), &problem));
  ASSERT_TRUE(assembler.addFrame({F::Blue, true, 4, 4, 3, 8}, QByteArray(12, '\x30'), &problem));
  EXPECT_EQ(assembler.image().pixel(3, 2), qRgb(0x10, 0, 0x30));
}
