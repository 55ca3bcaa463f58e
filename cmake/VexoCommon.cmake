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

# vexo_add_core_library(name SOURCES...): one subsystem's part of the core.
function(vexo_add_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC vexo_common PRIVATE vexo_strict)
  # The Qt and standard headers nearly every file of the core includes,
  # parsed once per library: the store library compiles in less than half
  # the time.
  target_precompile_headers(${name} PRIVATE <QByteArray> <QString> <QStringList> <QList> <QVariant> <QDateTime>
    <QHash> <functional> <memory> <optional> <vector>)
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
