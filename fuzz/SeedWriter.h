// Makes the seed inputs of the fuzz targets with Tessaly's own writers:
// image files from the image destinations, property lists and keyed
// archives from the archivers, and document stores saved by the model.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVariantMap>

class SeedWriter {
 public:
  explicit SeedWriter(QString folder) : folder_(std::move(folder)) {}

  // Writes every target's seeds; false when any could not be made.
  bool writeAll();

 private:
  // SeedWriterImages.cpp
  void writeImageFiles();
  void writeImageFile(const QString& target, const QString& type, const QList<QImage>& frames,
                      const QVariantMap& properties, const QString& name);
  void writeLZWStrips();
  // SeedWriterArchives.cpp
  void writePropertyLists();
  void writeKeyedArchives();
  void writeTextArchives();
  void writeImageData();
  // SeedWriterStores.cpp
  void writeStores();
  void writeOldStores();
  // SeedWriterJson.cpp
  void writeJsonTexts();
  void writePasteboardItems();
  // SeedWriterDrags.cpp
  void writeRowDrags();

  void write(const QString& target, const QString& name, const QByteArray& bytes);
  void fail(const QString& what);

  QString folder_;
  bool ok_ = true;
};

// A small picture with gradients, hard edges and an alpha ramp, in `format`.
QImage seedPicture(int width, int height, QImage::Format format);
