#pragma once

#include "graphics/AttributedString.h"
#include "model/Layer.h"

// A layer whose content is styled text instead of pixels. It has no Image:
// its Core Image image is drawn from the text whenever it is needed, so its
// filters, thumbnail and drawing work as for any layer. It keeps the text's
// baseline in place while the text changes, names itself after its text,
// hands a uniform style back to the window's Settings as the style of the
// next text, and is zoomed by scaling its fonts.
class TextLayer : public Layer {
 public:
  TextLayer();

  // A new "TextLayer" appended to `composedImage`, awoken with `changeName`.
  static TextLayer* createLayerWithComposedImage(ComposedImage* composedImage,
                                                 cd::ManagedObjectContext* context,
                                                 bool changeName);
  // With `changeName` the text becomes one blank in the settings' text
  // attributes and first colour (the default sans-serif in black when there
  // are no settings); without it the layer gets no text here.
  void awakeFromInsertWithComposedImage(ComposedImage* composedImage, bool changeName) override;
  void awakeFromFetch() override;

  // ---- The text ----
  // Stored archived (TextLayerAttributedStringCoding); empty when unset.
  gfx::AttributedString attributedString() const;
  void setAttributedString(const gfx::AttributedString& string);
  // The baseline height remembered just before the text changes.
  double realYOrigin() const { return realYOrigin_; }
  void setRealYOrigin(double y) { realYOrigin_ = y; }
  // The most negative font descender among the runs; 0 for an empty text or
  // runs without fonts.
  double textMaxDescender() const;

  // ---- Change handling ----
  void willChangeValueForKey(const QString& key) override;
  void didChangeValueForKey(const QString& key) override;

  // ---- Layer overrides ----
  // The drawn size of the text, in whole pixels, when `force` is set or no
  // filter result exists; otherwise the filtered image's size.
  QSizeF imageSizeForceNoFilters(bool force) const override;
  // The text drawn anew into an image; null for a text with no width or
  // height.
  ci::Image ciImage() const override;
  // Scales the fonts by `zoom` over the stored zoom, which never changes (a
  // stored zoom of 0 or less counts as 1). A zoom of 0 or less is refused.
  void setZoom(double zoom) override;
  bool isEmpty() const override { return false; }
  bool isText() const override { return true; }

 protected:
  gfx::AttributedString drawnText() const override { return attributedString(); }

 private:
  // Whether a change comes from undo or redo putting back recorded values.
  bool isRestoredByUndo() const;
  // The text rendered into a bitmap of imageSizeForceNoFilters(true).
  gfx::ImagePtr textImage() const;
  // The style of the next text, when the whole text has one.
  void handTextAttributesToSettings(const gfx::AttributedString& string);

  double realYOrigin_ = 0;
};
