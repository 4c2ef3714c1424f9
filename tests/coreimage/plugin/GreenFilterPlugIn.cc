// A filter plug-in built only for the tests: registers "TessalyPlugInGreen",
// a generator of opaque green. (A .cc file so the test program's own source
// glob leaves it to the plug-in target.)
#include "coreimage/Filter.h"
#include "coreimage/PlugIn.h"

namespace {

class GreenFilter : public ci::Filter {
 public:
  GreenFilter() : Filter("TessalyPlugInGreen", {}) {}
  ci::Image outputImage() const override {
    return ci::Image::imageWithColor(ci::Color(0, 1, 0, 1));
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) bool TessalyRegisterFilterPlugIn(
    ci::PlugInRegistrar* registrar) {
  registrar->registerFilterName(
      "TessalyPlugInGreen", [](const QString&) { return std::make_shared<GreenFilter>(); },
      {{ci::kCIAttributeFilterCategories, QStringList{ci::kCICategoryGenerator}}});
  return true;
}
