// How a document prints: paper, orientation, margins, pagination, scaling
// and where the job goes (a printer, or a PDF file). Shared and changed in
// place like the platform's print info; archivable with the keyed archiver
// (class "NSPrintInfo"), since a document's print settings are undoable.
// Lengths are in points (1/72 inch).
#pragma once

#include <QSizeF>
#include <QString>
#include <QUrl>
#include <memory>

#include "foundation/Coding.h"

namespace fnd {
class Error;
class KeyedUnarchiver;
}  // namespace fnd

namespace ui {

class PrintInfo;
using PrintInfoPtr = std::shared_ptr<PrintInfo>;

class PrintInfo : public fnd::Coding {
 public:
  // Stored values keep the platform's numbering.
  enum PaginationMode { AutoPagination = 0, FitPagination = 1, ClipPagination = 2 };
  enum Orientation { PortraitOrientation = 0, LandscapeOrientation = 1 };
  enum JobDisposition { SpoolJob = 0, SaveJob = 1 };

  // The locale's default paper, portrait, margins of 72 points at the sides
  // and 90 at the top and bottom, automatic pagination, centred, 100 %.
  PrintInfo();
  static PrintInfoPtr make() { return std::make_shared<PrintInfo>(); }
  PrintInfoPtr copy() const { return std::make_shared<PrintInfo>(*this); }

  QString paperName() const { return paperName_; }
  void setPaperName(const QString& name);  // a QPageSize key such as "A4"
  // Portrait size, whatever the orientation.
  QSizeF paperSize() const { return paperSize_; }
  void setPaperSize(QSizeF size);
  Orientation orientation() const { return orientation_; }
  void setOrientation(Orientation orientation) { orientation_ = orientation; }
  // The paper as it lies: width and height swapped for landscape.
  QSizeF orientedPaperSize() const;

  double topMargin() const { return top_; }
  double bottomMargin() const { return bottom_; }
  double leftMargin() const { return left_; }
  double rightMargin() const { return right_; }
  void setTopMargin(double points) { top_ = points; }
  void setBottomMargin(double points) { bottom_ = points; }
  void setLeftMargin(double points) { left_ = points; }
  void setRightMargin(double points) { right_ = points; }

  PaginationMode horizontalPagination() const { return horizontal_; }
  PaginationMode verticalPagination() const { return vertical_; }
  void setHorizontalPagination(PaginationMode mode) { horizontal_ = mode; }
  void setVerticalPagination(PaginationMode mode) { vertical_ = mode; }
  bool isHorizontallyCentered() const { return hCentered_; }
  bool isVerticallyCentered() const { return vCentered_; }
  void setHorizontallyCentered(bool centred) { hCentered_ = centred; }
  void setVerticallyCentered(bool centred) { vCentered_ = centred; }
  double scalingFactor() const { return scaling_; }
  void setScalingFactor(double factor) { scaling_ = factor; }

  JobDisposition jobDisposition() const { return disposition_; }
  void setJobDisposition(JobDisposition disposition) { disposition_ = disposition; }
  // Where a saved job's PDF goes.
  QUrl jobSavingURL() const { return savingURL_; }
  void setJobSavingURL(const QUrl& url) { savingURL_ = url; }

  bool operator==(const PrintInfo& other) const;

  QString archiveClassName() const override { return QStringLiteral("NSPrintInfo"); }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override;
  // Null (and the coder failed) for values no print info can hold.
  static std::shared_ptr<PrintInfo> decode(fnd::KeyedUnarchiver& coder);
  // Makes unarchivers turn "NSPrintInfo" entries into PrintInfo; safe to
  // call repeatedly.
  static void registerClass();
  // A keyed archive with this print info as its root, and back; null (with
  // `error`) when the data holds no readable print info.
  QByteArray archivedData() const;
  static PrintInfoPtr printInfoWithArchivedData(const QByteArray& data,
                                                fnd::Error* error = nullptr);

 private:
  QString paperName_;
  QSizeF paperSize_;
  Orientation orientation_ = PortraitOrientation;
  double top_ = 90, bottom_ = 90, left_ = 72, right_ = 72;
  PaginationMode horizontal_ = AutoPagination, vertical_ = AutoPagination;
  bool hCentered_ = true, vCentered_ = true;
  double scaling_ = 1.0;
  JobDisposition disposition_ = SpoolJob;
  QUrl savingURL_;
};

}  // namespace ui
