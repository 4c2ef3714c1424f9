#include <gtest/gtest.h>

#include "appkit/PrintInfo.h"
#include "foundation/Error.h"
#include "foundation/KeyedArchiver.h"

namespace {

TEST(PrintInfo, ArchivesEverySettingAndReadsItBack) {
  ui::PrintInfo info;
  info.setPaperName("A3");
  EXPECT_NEAR(info.paperSize().width(), 841.89, 0.01);
  info.setOrientation(ui::PrintInfo::LandscapeOrientation);
  EXPECT_NEAR(info.orientedPaperSize().height(), 841.89, 0.01);
  info.setTopMargin(0);
  info.setBottomMargin(1.5);
  info.setLeftMargin(2);
  info.setRightMargin(3);
  info.setHorizontalPagination(ui::PrintInfo::FitPagination);
  info.setVerticalPagination(ui::PrintInfo::ClipPagination);
  info.setHorizontallyCentered(false);
  info.setScalingFactor(0.75);
  info.setJobDisposition(ui::PrintInfo::SaveJob);
  info.setJobSavingURL(QUrl::fromLocalFile("/tmp/out.pdf"));

  fnd::Error error;
  ui::PrintInfoPtr back = ui::PrintInfo::printInfoWithArchivedData(info.archivedData(), &error);
  ASSERT_TRUE(back) << error.localizedDescription().toStdString();
  EXPECT_TRUE(*back == info);
  EXPECT_EQ(back->paperName(), "A3");

  // A custom paper keeps its size and has no name.
  info.setPaperSize(QSizeF(1600, 800));
  EXPECT_TRUE(info.paperName().isEmpty());
  back = ui::PrintInfo::printInfoWithArchivedData(info.archivedData());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->paperSize(), QSizeF(1600, 800));
}

// An archive written elsewhere with values no print info can hold.
class Tampered : public fnd::Coding {
 public:
  Tampered(QString key, double value) : key_(std::move(key)), value_(value) {}
  QString archiveClassName() const override { return "NSPrintInfo"; }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override {
    ui::PrintInfo().encodeWithCoder(coder);
    if (key_.endsWith("Pagination") || key_ == "NSOrientation")
      coder.encodeInt32(qint32(value_), key_);
    else
      coder.encodeDouble(value_, key_);
  }

 private:
  QString key_;
  double value_;
};

TEST(PrintInfo, RefusesArchivesWithImpossibleValues) {
  const std::pair<const char*, double> cases[] = {
      {"NSTopMargin", -1},          {"NSLeftMargin", std::nan("")}, {"NSScalingFactor", 0},
      {"NSScalingFactor", 1e9},     {"NSOrientation", 2},           {"NSHorizontalPagination", 3},
      {"NSVerticalPagination", -1}, {"NSRightMargin", 1e12},
  };
  for (const auto& [key, value] : cases) {
    const QByteArray data = fnd::KeyedArchiver::archivedDataWithRootObject(
        QVariant::fromValue(fnd::CodingPtr(std::make_shared<Tampered>(key, value))));
    fnd::Error error;
    EXPECT_EQ(ui::PrintInfo::printInfoWithArchivedData(data, &error), nullptr) << key;
    EXPECT_FALSE(error.isNull()) << key;
  }
  EXPECT_EQ(ui::PrintInfo::printInfoWithArchivedData("not an archive"), nullptr);
}

}  // namespace
