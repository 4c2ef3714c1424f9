// User defaults: the program's preferences as typed values under string
// keys, kept with QSettings in an INI file ($TESSALY_CONFIG_HOME/Tessaly.conf,
// else $XDG_CONFIG_HOME/Tessaly/Tessaly.conf). Values carry a type tag in the
// file so bools, numbers, data, dates and nested containers read back as such.
#pragma once

#include <QDateTime>
#include <QMutex>
#include <QSettings>
#include <QVariant>
#include <memory>

namespace fnd {

class UserDefaults {
 public:
  explicit UserDefaults(const QString& path);
  ~UserDefaults();

  static UserDefaults& standardUserDefaults();
  // A store on another file, for tests and tools.
  static std::unique_ptr<UserDefaults> withFile(const QString& path);
  // Where standardUserDefaults() keeps its file.
  static QString standardFilePath();

  QString filePath() const;

  // Fallbacks for keys the user never set; not written to the file.
  void registerDefaults(const QVariantMap& defaults);

  // The stored value, else the registered default, else an invalid QVariant.
  QVariant objectForKey(const QString& key) const;
  bool hasKey(const QString& key) const;
  bool boolForKey(const QString& key) const;
  qint64 integerForKey(const QString& key) const;
  double doubleForKey(const QString& key) const;
  float floatForKey(const QString& key) const;
  QString stringForKey(const QString& key) const;
  QByteArray dataForKey(const QString& key) const;
  QDateTime dateForKey(const QString& key) const;
  QVariantList arrayForKey(const QString& key) const;
  QVariantMap dictionaryForKey(const QString& key) const;

  // An invalid value removes the key. Values must be property-list kinds.
  void setObject(const QVariant& value, const QString& key);
  void setBool(bool value, const QString& key);
  void setInteger(qint64 value, const QString& key);
  void setDouble(double value, const QString& key);
  void setFloat(float value, const QString& key);
  void removeObjectForKey(const QString& key);

  // Writes pending changes and picks up changes made by others.
  bool synchronize();

 private:
  mutable QMutex mutex_;
  QSettings settings_;
  QVariantMap registered_;
};

}  // namespace fnd
