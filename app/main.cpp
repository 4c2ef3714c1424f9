// The program's entry point. Until the document window exists it only
// states its name and version.
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::printf("Tessaly %s\n", TESSALY_VERSION);
  return 0;
}
