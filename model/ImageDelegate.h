#pragma once

class Image;

// What an Image tells its owner (a layer) about its pixels.
class ImageDelegate {
 public:
  virtual ~ImageDelegate() = default;
  // The image was decoded from its stored data.
  virtual void imageDidLoadNSImage(Image* image) = 0;
  // The in-memory image was replaced, its page changed or a version reloaded.
  virtual void imageDidUpdateNSImage(Image* image) = 0;
  // The Core Image copy was rebuilt. Optional: the default does nothing.
  virtual void imageDidUpdateCIImage(Image* image) { (void)image; }
};
