// Where the service lives: the bases of its web dialogs, REST methods and
// graph paths, and its login site. Configuration rather than constants, so
// a test or a staging service can stand in for the network; the environment
// variable TESSALY_FACEBOOK_SERVER (a base URL) moves all four under one
// server, at "dialog/", "method/", "" and "".
#pragma once

#include <QString>

struct FBEndpoints {
  QString dialogBaseURL;
  QString restserverBaseURL;
  QString graphBaseURL;
  QString loginURL;

  // The network's own addresses.
  static FBEndpoints standard();
  // All four under `base` ("http://127.0.0.1:8080/").
  static FBEndpoints underServer(const QString& base);
  // The addresses sessions use: set ones, else the environment's, else the
  // network's.
  static FBEndpoints current();
  static void setCurrent(const FBEndpoints& endpoints);
  static void resetCurrent();
};
