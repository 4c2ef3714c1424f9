// The placeholders a controller's selection proxy answers instead of a value:
// nothing is selected, the selected objects disagree, or they do not have
// the key. Carried in a QVariant so bindings can tell them from values.
#pragma once

#include <QMetaType>
#include <QVariant>

namespace ui {
enum class SelectionMarker { NoSelection = 1, MultipleValues = 2, NotApplicable = 3 };
}  // namespace ui

Q_DECLARE_METATYPE(ui::SelectionMarker)

namespace ui {

inline QVariant selectionMarker(SelectionMarker marker) { return QVariant::fromValue(marker); }

inline bool isSelectionMarker(const QVariant& value) {
  return value.metaType() == QMetaType::fromType<SelectionMarker>();
}

inline bool isSelectionMarker(const QVariant& value, SelectionMarker marker) {
  return isSelectionMarker(value) && value.value<SelectionMarker>() == marker;
}

}  // namespace ui
