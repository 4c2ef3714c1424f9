#include "appkit/PrintInfo.h"

#include <QLocale>
#include <QPageSize>
#include <cmath>
#include <mutex>

#include "foundation/Error.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"

namespace ui {

namespace {

const QString PaperNameKey = QStringLiteral("NSPaperName");
const QString PaperSizeKey = QStringLiteral("NSPaperSize");
const QString OrientationKey = QStringLiteral("NSOrientation");
const QString TopMarginKey = QStringLiteral("NSTopMargin");
const QString BottomMarginKey = QStringLiteral("NSBottomMargin");
const QString LeftMarginKey = QStringLiteral("NSLeftMargin");
const QString RightMarginKey = QStringLiteral("NSRightMargin");
const QString HorizontalPaginationKey = QStringLiteral("NSHorizontalPagination");
const QString VerticalPaginationKey = QStringLiteral("NSVerticalPagination");
const QString HorizontallyCenteredKey = QStringLiteral("NSHorizontallyCentered");
const QString VerticallyCenteredKey = QStringLiteral("NSVerticallyCentered");
const QString ScalingFactorKey = QStringLiteral("NSScalingFactor");
const QString JobDispositionKey = QStringLiteral("NSJobDisposition");
const QString JobSavingURLKey = QStringLiteral("NSJobSavingURL");

// A sheet of about 5 m by 5 m is the largest paper anything prints on.
constexpr double LargestPaper = 14400;

bool isLength(double points, double largest = LargestPaper) {
  return std::isfinite(points) && points >= 0 && points <= largest;
}

QString paperKey(const QPageSize& size) { return size.key(); }

}  // namespace

PrintInfo::PrintInfo() {
  const bool us = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
  setPaperName(paperKey(QPageSize(us ? QPageSize::Letter : QPageSize::A4)));
}

void PrintInfo::setPaperName(const QString& name) {
  for (int id = 0; id <= int(QPageSize::LastPageSize); ++id) {
    QPageSize size{QPageSize::PageSizeId(id)};
    if (size.key() != name) continue;
    paperName_ = name;
    // Qt rounds point sizes to whole points; millimetres keep A4's 595.28.
    paperSize_ = size.size(QPageSize::Millimeter) * (72 / 25.4);
    return;
  }
}

void PrintInfo::setPaperSize(QSizeF size) {
  paperSize_ = size;
  QPageSize known(size, QPageSize::Point, QString(), QPageSize::FuzzyMatch);
  paperName_ = known.id() == QPageSize::Custom ? QString() : known.key();
}

QSizeF PrintInfo::orientedPaperSize() const {
  return orientation_ == LandscapeOrientation ? paperSize_.transposed() : paperSize_;
}

bool PrintInfo::operator==(const PrintInfo& other) const {
  return paperName_ == other.paperName_ && paperSize_ == other.paperSize_ &&
         orientation_ == other.orientation_ && top_ == other.top_ && bottom_ == other.bottom_ &&
         left_ == other.left_ && right_ == other.right_ && horizontal_ == other.horizontal_ &&
         vertical_ == other.vertical_ && hCentered_ == other.hCentered_ &&
         vCentered_ == other.vCentered_ && scaling_ == other.scaling_ &&
         disposition_ == other.disposition_ && savingURL_ == other.savingURL_;
}

void PrintInfo::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  coder.encodeString(paperName_, PaperNameKey);
  coder.encodeSize(paperSize_, PaperSizeKey);
  coder.encodeInt32(orientation_, OrientationKey);
  coder.encodeDouble(top_, TopMarginKey);
  coder.encodeDouble(bottom_, BottomMarginKey);
  coder.encodeDouble(left_, LeftMarginKey);
  coder.encodeDouble(right_, RightMarginKey);
  coder.encodeInt32(horizontal_, HorizontalPaginationKey);
  coder.encodeInt32(vertical_, VerticalPaginationKey);
  coder.encodeBool(hCentered_, HorizontallyCenteredKey);
  coder.encodeBool(vCentered_, VerticallyCenteredKey);
  coder.encodeDouble(scaling_, ScalingFactorKey);
  coder.encodeInt32(disposition_, JobDispositionKey);
  if (savingURL_.isValid()) coder.encodeString(savingURL_.toString(), JobSavingURLKey);
}

std::shared_ptr<PrintInfo> PrintInfo::decode(fnd::KeyedUnarchiver& coder) {
  auto info = std::make_shared<PrintInfo>();
  info->paperName_ = coder.decodeStringForKey(PaperNameKey);
  info->paperSize_ = coder.decodeSizeForKey(PaperSizeKey);
  const int orientation = coder.decodeInt32ForKey(OrientationKey);
  const int horizontal = coder.decodeInt32ForKey(HorizontalPaginationKey);
  const int vertical = coder.decodeInt32ForKey(VerticalPaginationKey);
  const int disposition = coder.decodeInt32ForKey(JobDispositionKey);
  info->top_ = coder.decodeDoubleForKey(TopMarginKey);
  info->bottom_ = coder.decodeDoubleForKey(BottomMarginKey);
  info->left_ = coder.decodeDoubleForKey(LeftMarginKey);
  info->right_ = coder.decodeDoubleForKey(RightMarginKey);
  info->hCentered_ = coder.decodeBoolForKey(HorizontallyCenteredKey);
  info->vCentered_ = coder.decodeBoolForKey(VerticallyCenteredKey);
  info->scaling_ = coder.decodeDoubleForKey(ScalingFactorKey);
  info->savingURL_ = QUrl(coder.decodeStringForKey(JobSavingURLKey));
  const QSizeF paper = info->paperSize_;
  const bool valid = paper.width() > 0 && paper.height() > 0 && isLength(paper.width()) &&
                     isLength(paper.height()) && orientation >= 0 && orientation <= 1 &&
                     horizontal >= 0 && horizontal <= 2 && vertical >= 0 && vertical <= 2 &&
                     disposition >= 0 && disposition <= 1 && isLength(info->top_) &&
                     isLength(info->bottom_) && isLength(info->left_) && isLength(info->right_) &&
                     isLength(info->scaling_, 100) && info->scaling_ > 0;
  if (!valid) {
    coder.setFailed(QStringLiteral("unreadable print info"));
    return nullptr;
  }
  info->orientation_ = Orientation(orientation);
  info->horizontal_ = PaginationMode(horizontal);
  info->vertical_ = PaginationMode(vertical);
  info->disposition_ = JobDisposition(disposition);
  return info;
}

void PrintInfo::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    fnd::KeyedUnarchiver::registerClass(
        QStringLiteral("NSPrintInfo"),
        [](fnd::KeyedUnarchiver& coder) -> fnd::CodingPtr { return decode(coder); });
  });
}

QByteArray PrintInfo::archivedData() const {
  return fnd::KeyedArchiver::archivedDataWithRootObject(
      QVariant::fromValue(fnd::CodingPtr(std::make_shared<PrintInfo>(*this))));
}

PrintInfoPtr PrintInfo::printInfoWithArchivedData(const QByteArray& data, fnd::Error* error) {
  registerClass();
  fnd::Error failure;
  const QVariant root = fnd::KeyedUnarchiver::unarchiveObjectWithData(data, &failure);
  auto info = std::dynamic_pointer_cast<PrintInfo>(root.value<fnd::CodingPtr>());
  if (info) return info;
  if (failure.isNull())
    failure = fnd::Error::withDescription(fnd::CocoaErrorDomain, fnd::CoderReadCorruptError,
                                          QStringLiteral("The archive holds no print info."));
  fnd::fail(error, failure);
  return nullptr;
}

}  // namespace ui
