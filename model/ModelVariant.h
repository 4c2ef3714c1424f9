#pragma once

// Which of the two builds of the model this process runs. The program's
// decodes in the background, keeps a cache folder of image versions and
// makes layer thumbnails. The preview generator's, chosen at run time by
// TESSALY_MODEL_VARIANT=preview or by the generator itself, does all work
// on the calling thread, writes no file anywhere and makes no thumbnails,
// so it can answer from a sandbox with a read-only view of the disk.
class ModelVariant {
 public:
  enum Kind { Application, PreviewGenerator };

  // Read once from the environment unless set before.
  static Kind current();
  static void setCurrent(Kind kind);
  static bool isPreviewGenerator() { return current() == PreviewGenerator; }
};
