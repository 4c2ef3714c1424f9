// A font as an archivable object, so fonts can live in keyed archives (a
// window's settings, text attributes) and in user defaults as archived data.
// Keeps the family as asked for, so a font missing here survives a round
// trip to a machine that has it.
#pragma once

#include <QByteArray>

#include "foundation/Coding.h"
#include "foundation/Error.h"
#include "graphics/Font.h"

namespace fnd {
class KeyedUnarchiver;
}

class FontCoding : public fnd::Coding {
 public:
  explicit FontCoding(gfx::Font font) : font_(std::move(font)) {}
  const gfx::Font& font() const { return font_; }

  QString archiveClassName() const override { return QStringLiteral("NSFont"); }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override;
  // Null (and the coder failed) for a missing name or an unusable size.
  static std::shared_ptr<FontCoding> decode(fnd::KeyedUnarchiver& coder);
  // Makes unarchivers read "NSFont" entries as this class; idempotent.
  static void registerClass();

  // Whether the family is installed here, as asked for (not a substitute).
  static bool isInstalled(const gfx::Font& font);
  // The font itself when installed, else the default sans-serif at its size.
  static gfx::Font installedFont(const gfx::Font& font);

 private:
  gfx::Font font_;
};

QByteArray archivedDataWithFont(const gfx::Font& font);
// False (and `error`) when the data is not an archived font.
bool fontWithArchivedData(const QByteArray& data, gfx::Font* font, fnd::Error* error = nullptr);
