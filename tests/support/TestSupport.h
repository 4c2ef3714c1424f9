// Helpers every test program shares: spinning the Qt event loop until a
// condition holds, and copying produced files to the artifacts folder.
#pragma once

#include <QImage>
#include <QString>
#include <functional>

namespace tst {

// Runs the event loop until `condition` holds or `timeoutMs` passes.
// Returns whether the condition held; never sleeps.
bool spinUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Runs the event loop once over everything already posted.
void spinOnce();

// A folder private to this test program, removed when it exits.
QString tempDir();

// A fresh path inside tempDir() ending in `fileName`.
QString tempPath(const QString& fileName);

// When TESSALY_TEST_ARTIFACTS names a folder, copies `path` there as
// `descriptiveName` (which keeps its extension). Does nothing otherwise.
void saveArtifact(const QString& path, const QString& descriptiveName);

// The same for bytes that never were a file.
void saveArtifactData(const QByteArray& bytes, const QString& descriptiveName);

// The same for an image, written as PNG.
void saveArtifactImage(const QImage& image, const QString& descriptiveName);

// Path of a file kept in tests/data.
QString dataPath(const QString& relative);

// Runs a program to completion; returns its exit code (-1 when it could not
// start) and its standard output and error merged into `output`.
int runTool(const QString& program, const QStringList& arguments, QString* output = nullptr,
            int timeoutMs = 60000);

// Whether a program is on the PATH. A check that skips itself without the
// program still runs in CI: when the CI variable is set (.ci/run sets it), a
// missing program fails the current test.
bool haveTool(const QString& program);

}  // namespace tst
