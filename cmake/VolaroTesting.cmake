# volaro_add_test(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>] [TIMEOUT <s>])
# Builds one Qt Test executable and registers it with CTest. Widgets run offscreen, on a
# screen wider than high as real ones are (tests/support/offscreen.json), and audio goes to SDL's disk driver unless the test sets its own driver. Song analyses and
# the kept list go to folders of each test's own in the build folder, never to the user's
# (tests running side by side would overwrite each other's files).
function(volaro_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 240)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_SOURCE_DIR}/tests/support/offscreen.json;SDL_AUDIODRIVER=disk;VOLARO_TESTDATA=${CMAKE_SOURCE_DIR}/../shared/testdata;XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/testcache/${name};XDG_STATE_HOME=${CMAKE_BINARY_DIR}/teststate/${name};${T_ENV}")
endfunction()

# volaro_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> [CORPUS_GEN <target>])
# With VOLARO_FUZZ the target is a libFuzzer binary; otherwise the same entry point is
# linked with a replay driver and run over the seed corpus as an ordinary test.
function(volaro_add_fuzzer name)
    cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
    if(VOLARO_FUZZ)
        add_executable(${name} ${F_SOURCES})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    else()
        add_executable(${name} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/tests/fuzz/replaydriver.cpp)
        add_test(NAME ${name} COMMAND ${name} ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
        set_tests_properties(${name} PROPERTIES TIMEOUT 240
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy")
    endif()
    target_link_libraries(${name} PRIVATE ${F_LIBS})
endfunction()

# volaro_add_desktop_test(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>]
#                         [TIMEOUT <s>])
# A test of the desktop leg: it runs inside tests/desktop/session.sh, under a real X server
# with a window manager, a private PulseAudio server with two null sinks and a private
# session bus. Labelled "desktop" (ctest -L desktop runs only these); each runs alone.
function(volaro_add_desktop_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/tests/desktop/session.sh $<TARGET_FILE:${name}>)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 240)
    endif()
    # Alone on the machine: their checks listen to real-time sound through a sound server.
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS desktop RUN_SERIAL TRUE
        ENVIRONMENT "VOLARO_TESTDATA=${CMAKE_SOURCE_DIR}/../shared/testdata;XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/testcache/${name};XDG_STATE_HOME=${CMAKE_BINARY_DIR}/teststate/${name};${T_ENV}")
endfunction()
