// A font: family, size in points and traits. Backed by QFont resolved at 72
// dots per inch, so one point is one unit of the drawing context's user space.
// A family that is not installed falls back to the default sans-serif.
#pragma once

#include <QFont>
#include <QMetaType>
#include <QString>

namespace gfx {

class Font {
 public:
  Font();  // the default sans-serif at 12 points
  Font(const QString& family, double pointSize, bool bold = false, bool italic = false);

  static Font fontWithName(const QString& name, double size);
  static Font systemFontOfSize(double size);
  static Font boldSystemFontOfSize(double size);
  static Font userFixedPitchFontOfSize(double size);
  static double systemFontSize() { return 13.0; }

  QString familyName() const;
  // The family as asked for; familyName() is what is actually used.
  QString fontName() const { return requestedName_; }
  double pointSize() const { return pointSize_; }
  bool isBold() const { return bold_; }
  bool isItalic() const { return italic_; }
  Font withSize(double size) const;

  // Metrics in points. The descender is negative (below the baseline).
  double ascender() const;
  double descender() const;
  double leading() const;
  double capHeight() const;
  double xHeight() const;
  double lineHeight() const { return ascender() - descender() + leading(); }
  double widthOfString(const QString& text) const;

  // The QFont to lay text out with: sized in points, meant for a 72 dpi device
  // (see referenceDevice()).
  QFont toQFont() const;
  // A paint device at 72 dots per inch that layouts are measured against.
  static class QPaintDevice* referenceDevice();

  bool operator==(const Font& other) const;

 private:
  QString requestedName_;
  double pointSize_;
  bool bold_;
  bool italic_;
};

}  // namespace gfx

Q_DECLARE_METATYPE(gfx::Font)
