# QScintilla for Qt 6 ships no CMake package or pkg-config file: find its header and
# library and wrap them in the imported target QScintilla::QScintilla.
get_target_property(_qt_core_inc Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
set(_qsci_hints)
foreach(_d IN LISTS _qt_core_inc)
  list(APPEND _qsci_hints "${_d}" "${_d}/..")
endforeach()
find_path(QSCINTILLA_INCLUDE_DIR Qsci/qsciscintilla.h
  HINTS ${_qsci_hints} PATHS /usr/include/x86_64-linux-gnu/qt6 /usr/include/qt6)
find_library(QSCINTILLA_LIBRARY NAMES qscintilla2_qt6)
if(NOT QSCINTILLA_INCLUDE_DIR OR NOT QSCINTILLA_LIBRARY)
  message(FATAL_ERROR "QScintilla for Qt 6 not found (package libqscintilla2-qt6-dev)")
endif()
add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
set_target_properties(QScintilla::QScintilla PROPERTIES
  IMPORTED_LOCATION "${QSCINTILLA_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${QSCINTILLA_INCLUDE_DIR}"
  INTERFACE_LINK_LIBRARIES "Qt6::Widgets;Qt6::PrintSupport")
