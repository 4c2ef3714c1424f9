# `make install` (cmake --install, to PREFIX or DESTDIR): the program, the
# preview generator plug-in with its description, the thumbnailer, and the
# desktop's files: the ZOVA MIME type, the thumbnailer entry, the program's
# entry and its icon.
include(GNUInstallDirs)

if(TARGET tessaly)
  install(TARGETS tessaly RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET tessaly-thumbnailer)
  install(TARGETS tessaly-thumbnailer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET TessalyQuickLook)
  # The thumbnailer finds the plug-in in this folder, relative to itself.
  install(TARGETS TessalyQuickLook LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tessaly)
  install(FILES ${CMAKE_SOURCE_DIR}/quicklook/bundle/TessalyQuickLook.plist
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/tessaly)
endif()

set(desktop ${CMAKE_SOURCE_DIR}/resources/desktop)
install(FILES ${desktop}/tessaly-zova.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME tessaly.xml)
install(FILES ${desktop}/tessaly.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES ${desktop}/com.brenwick.tessaly.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop}/tessaly.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
