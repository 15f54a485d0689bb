# Helpers that keep the per-folder CMake files short.
#
# tarnwick_layer(NAME <target> [WIDGETS] LIBS <libs...>)
#   A static library of every .cpp/.h in the calling folder. Layers without
#   widgets get strict string definitions so encoding mistakes fail to compile.
function(tarnwick_layer)
    cmake_parse_arguments(ARG "WIDGETS" "NAME" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(FILTER sources INCLUDE REGEX ".*\\.(cpp|h)$")
    set(cpp_sources ${sources})
    list(FILTER cpp_sources INCLUDE REGEX ".*\\.cpp$")
    if(NOT cpp_sources)
        # A layer that has no code yet.
        add_library(${ARG_NAME} INTERFACE)
        target_include_directories(${ARG_NAME} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(${ARG_NAME} INTERFACE ${ARG_LIBS})
        return()
    endif()
    add_library(${ARG_NAME} STATIC ${sources})
    target_include_directories(${ARG_NAME} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LIBS})
    target_compile_definitions(${ARG_NAME} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                                   QT_NO_CAST_FROM_BYTEARRAY QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
endfunction()

# tarnwick_tests(LAYER <folder> LIBS <libs...> [LABELS <labels...>] [DEPENDS <targets...>])
#   One test executable per tst_*.cpp in the calling folder, registered with
#   CTest and run on the offscreen platform inside a private home folder
#   (the test support library's main sets that up).
function(tarnwick_tests)
    cmake_parse_arguments(ARG "" "LAYER" "LIBS;LABELS;DEPENDS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    foreach(src ${tests})
        get_filename_component(base ${src} NAME_WE)
        string(REPLACE "tst_" "" short ${base})
        set(target test_${ARG_LAYER}_${short})
        add_executable(${target} ${src})
        target_link_libraries(${target} PRIVATE tarnwick_testsupport ${ARG_LIBS} Qt6::Test)
        foreach(dep ${ARG_DEPENDS})
            if(TARGET ${dep})
                add_dependencies(${target} ${dep})
            endif()
        endforeach()
        add_test(NAME ${ARG_LAYER}.${short} COMMAND ${target})
        set_tests_properties(${ARG_LAYER}.${short} PROPERTIES
            LABELS "${ARG_LAYER};${ARG_LABELS}"
            TIMEOUT 600
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TARNWICK_BIN_DIR=${CMAKE_BINARY_DIR}/bin;TARNWICK_CORPUS_DIR=${TARNWICK_CORPUS_DIR};TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1;ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1 halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp print_suppressions=0")
    endforeach()
endfunction()
