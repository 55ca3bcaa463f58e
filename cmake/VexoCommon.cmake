# Settings every target of the project links: language level, warnings and
# Qt's strictness about implicit text conversions.
add_library(vexo_common INTERFACE)
target_compile_features(vexo_common INTERFACE cxx_std_20)
target_compile_options(vexo_common INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)

# The application's own code converts texts explicitly; tests may use plain
# string literals.
add_library(vexo_strict INTERFACE)
target_compile_definitions(vexo_strict INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
if(VEXO_WERROR)
  target_compile_options(vexo_common INTERFACE -Werror)
endif()
# Undefined behaviour stops the program at its first report, as address
# errors do, so a sanitized test run cannot pass with a report in its output.
if(VEXO_SANITIZE)
  target_compile_options(vexo_common INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(vexo_common INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# The Qt and standard headers nearly every file includes are parsed once and
# shared by every target of a kind (the core libraries, the window
# libraries, the tests with and without windows): parsing them is most of a
# file's compile time. A target of its own makes each kind's header with
# the fewest macros its users share: GCC refuses a header made with a macro
# its user lacks, or without one its user defines that the headers look at
# (Qt's test header looks at the Gui and Network modules' macros, which is
# why only the tests with windows, which all have the Gui module, take it).
set(VEXO_CORE_HEADERS <QByteArray> <QString> <QStringList> <QList> <QVariant> <QDateTime> <QHash>
  <functional> <memory> <optional> <vector>)
set(VEXO_WINDOW_HEADERS ${VEXO_CORE_HEADERS} <QWidget> <QDialog> <QLabel> <QPushButton> <QLineEdit> <QTableView>
  <QAbstractTableModel> <QTimer> <QApplication>)
set(VEXO_TEST_HEADERS ${VEXO_CORE_HEADERS} <gtest/gtest.h> <gmock/gmock.h> <QTemporaryDir> <QFile> <QDir>
  <QCoreApplication>)

# vexo_add_header_maker(name HEADERS... LIBS...): the target that makes one
# kind's precompiled header; the kind's targets take it with
# target_precompile_headers(target REUSE_FROM name).
function(vexo_add_header_maker name)
  cmake_parse_arguments(H "" "" "HEADERS;LIBS" ${ARGN})
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/${name}.cpp CONTENT "")
  add_library(${name} OBJECT ${CMAKE_BINARY_DIR}/${name}.cpp)
  set_target_properties(${name} PROPERTIES AUTOMOC OFF)
  target_link_libraries(${name} PRIVATE vexo_common ${H_LIBS})
  target_precompile_headers(${name} PRIVATE ${H_HEADERS})
endfunction()

# Qt's test library gives every test its own folders as macros, which no
# shared header could match; the tests find their data through
# VEXO_TEST_DATA instead.
if(TARGET Qt6::Test)
  get_target_property(test_definitions Qt6::Test INTERFACE_COMPILE_DEFINITIONS)
  list(FILTER test_definitions EXCLUDE REGEX "^QT_TESTCASE_")
  set_target_properties(Qt6::Test PROPERTIES INTERFACE_COMPILE_DEFINITIONS "${test_definitions}")
endif()

vexo_add_header_maker(vexo_core_headers HEADERS ${VEXO_CORE_HEADERS} LIBS Qt6::Core vexo_strict)

# vexo_add_core_library(name SOURCES...): one subsystem's part of the core.
function(vexo_add_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC vexo_common PRIVATE vexo_strict)
  target_precompile_headers(${name} REUSE_FROM vexo_core_headers)
endfunction()

# vexo_add_test(name [WIDGETS] SOURCES... LIBS ...): a GoogleTest executable
# run headless on Qt's offscreen platform; WIDGETS gives it a QApplication.
function(vexo_add_test name)
  cmake_parse_arguments(T "WIDGETS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(T_WIDGETS)
    set(main vexo_testmain_widgets)
  else()
    set(main vexo_testmain)
  endif()
  target_link_libraries(${name} PRIVATE vexo_common ${T_LIBS} ${main} GTest::gtest GTest::gmock Qt6::Test)
  if(NOT TARGET ${main}_headers)
    if(T_WIDGETS)
      vexo_add_header_maker(${main}_headers
        HEADERS ${VEXO_TEST_HEADERS} <QApplication> <QWidget> <QTest> <QSqlQuery> <QSqlDatabase> <QSqlError>
        LIBS Qt6::Widgets Qt6::Test Qt6::Sql GTest::gtest GTest::gmock)
    else()
      vexo_add_header_maker(${main}_headers HEADERS ${VEXO_TEST_HEADERS} LIBS Qt6::Core GTest::gtest GTest::gmock)
    endif()
  endif()
  target_precompile_headers(${name} REUSE_FROM ${main}_headers)
  add_test(NAME ${name} COMMAND ${name})
  # The sanitizers slow a program down two to three times; the soak and
  # crash tests then run smaller (VEXO_TEST_SMALL), with every check kept.
  if(VEXO_SANITIZE)
    set(timeout 900)
    set(small ";VEXO_TEST_SMALL=1")
  else()
    set(timeout 300)
    set(small "")
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VEXO_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data${small}"
    TIMEOUT ${timeout})
endfunction()
