#pragma once

#include "graphics/AttributedString.h"

class QTextDocument;

// Styled text between the model's attributed strings and the text editor's
// documents. Fonts, colours and underlines are edited in the document; every
// other attribute of a run rides along on its characters, so text typed into
// a run keeps the run's paragraph style and whatever else it carries.
class AttributedTextDocument {
 public:
  // Replaces the document's content with `string`.
  static void fill(QTextDocument* document, const gfx::AttributedString& string);
  static gfx::AttributedString attributedString(const QTextDocument& document);
  // The size of the document's text laid out with one line per paragraph,
  // without margins, in the editor's pixels.
  static QSizeF unwrappedSize(const QTextDocument& document);
};
