// The archivable-object interface: a class that can write itself into a
// keyed archive. Reading back goes through a factory registered with
// KeyedUnarchiver::registerClass under the same class name.
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <memory>

namespace fnd {

class KeyedArchiver;

class Coding {
 public:
  virtual ~Coding();

  // The name written as the class entry's "$classname".
  virtual QString archiveClassName() const = 0;

  // Most derived first, ending in "NSObject"; written as "$classes" so a
  // reader that does not know the class can fall back to an ancestor.
  virtual QStringList archiveClassHierarchy() const;

  virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};

using CodingPtr = std::shared_ptr<Coding>;

}  // namespace fnd

Q_DECLARE_METATYPE(fnd::CodingPtr)
