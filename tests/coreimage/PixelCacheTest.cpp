#include <gtest/gtest.h>

#include "CoreImageTestSupport.h"
#include "coreimage/Context.h"

using namespace citest;
using ci::Image;

// A cached recipe drawn in parts in any order, to float and to 8-bit, gives
// what the recipe gives uncached; later draws read what earlier ones kept.
TEST(PixelCache, PartsAndWholeMatchTheRecipe) {
  const Image source = Image::imageWithCGImage(gfx::CGImage::make(noiseQImage(300, 200)));
  const Image recipe = source.imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 3}});
  const Image cached = recipe.imageByCachingPixels();
  const QRectF extent = recipe.extent();
  const ci::PixelBuffer expected = render(recipe, extent);
  const QRectF parts[] = {{37, 53, 171, 97}, {-9, -9, 5, 300}, extent, {120, 80, 1, 1}};
  for (const QRectF& part : parts) {
    const ci::PixelBuffer got = render(cached, part);
    ci::PixelBuffer want = ci::PixelBuffer::zeroed(got.rect());
    want.copyFrom(expected);
    EXPECT_LE(maxDifference(got, want), 1.0f / 255) << part.x() << "," << part.y();
  }
}
