# Installing Frimel like any desktop program: the program itself in libexec, its bitmaps in
# share/frimel, a launcher on PATH that starts it there, a desktop entry, an icon, and a
# Debian package made by CPack.
include(GNUInstallDirs)

set(FRIMEL_ICON_SIZE 128)
set(FRIMEL_ICON_FILE ${CMAKE_BINARY_DIR}/icons/frimel.png)
add_executable(make_icon tools/make_icon.cpp)
target_link_libraries(make_icon PRIVATE frimel_core)
add_custom_command(
  OUTPUT ${FRIMEL_ICON_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
  COMMAND make_icon ${FRIMEL_DATA_DIR}/snow.bmp ${FRIMEL_DATA_DIR}/ice.bmp ${FRIMEL_ICON_SIZE} ${FRIMEL_ICON_FILE}
  DEPENDS make_icon ${FRIMEL_DATA_DIR}/snow.bmp ${FRIMEL_DATA_DIR}/ice.bmp
  COMMENT "Drawing the icon")
add_custom_target(icon ALL DEPENDS ${FRIMEL_ICON_FILE})

# Paths relative to the prefix chosen at install time, so `cmake --install --prefix` works.
set(FRIMEL_INSTALL_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR})
set(FRIMEL_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/frimel)

install(TARGETS frimel RUNTIME DESTINATION ${FRIMEL_INSTALL_PROGRAM_DIR})
# The picture tool finds the bitmaps beside itself, in ../share/frimel, from any folder.
install(TARGETS frimel-picture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${FRIMEL_BITMAP_FILES} DESTINATION ${FRIMEL_INSTALL_DATA_DIR})
install(FILES ${FRIMEL_ICON_FILE}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${FRIMEL_ICON_SIZE}x${FRIMEL_ICON_SIZE}/apps)

# The launcher and the desktop entry name absolute paths, which are known only once the
# install prefix is.
install(CODE "
  set(FRIMEL_PACKAGING_DIR \"${CMAKE_CURRENT_SOURCE_DIR}/packaging\")
  set(FRIMEL_SCRATCH_DIR \"${CMAKE_BINARY_DIR}/packaging\")
  set(FRIMEL_BIN_DIR \"${CMAKE_INSTALL_BINDIR}\")
  set(FRIMEL_PROGRAM_DIR \"${FRIMEL_INSTALL_PROGRAM_DIR}\")
  set(FRIMEL_DATA_DIR \"${FRIMEL_INSTALL_DATA_DIR}\")
  set(FRIMEL_APPLICATIONS_DIR \"${CMAKE_INSTALL_DATADIR}/applications\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/install_launcher.cmake\")
")

set(CPACK_PACKAGE_NAME frimel)
set(CPACK_PACKAGE_VENDOR Frimel)
set(CPACK_PACKAGE_CONTACT "Frimel developers <frimel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "Click or drag over a sloping snow bank to place frost crystals and ice chunks that grow\nframe by frame. Turn the scene with a virtual trackball and choose ice colours, arms\nand branching depth.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
