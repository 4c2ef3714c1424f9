#include "window/IMWindowValueTransformers.h"

#include "model/IsSingleValueTransformer.h"
#include "window/IsMultipleValueTransformer.h"
#include "window/LogValueForScaleSliderTransformer.h"

void IMRegisterWindowValueTransformers() {
  static const bool registered = [] {
    fnd::ValueTransformer::setValueTransformer(
        std::make_shared<LogValueForScaleSliderTransformer>(),
        QStringLiteral("LogValueForScaleSliderTransformer"));
    fnd::ValueTransformer::setValueTransformer(std::make_shared<IsMultipleValueTransformer>(),
                                               QStringLiteral("IsMultipleValueTransformer"));
    fnd::ValueTransformer::setValueTransformer(std::make_shared<IsSingleValueTransformer>(),
                                               QStringLiteral("IsSingleValueTransformer"));
    return true;
  }();
  Q_UNUSED(registered);
}
