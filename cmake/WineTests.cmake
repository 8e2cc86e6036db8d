# Every Windows test runs under Wine inside the "wine" fixture: one display, one Wine server
# and one keep-alive program for the whole run.
add_executable(wine_keepalive ${CMAKE_SOURCE_DIR}/tests/keepalive.cpp)
set_target_properties(wine_keepalive PROPERTIES WIN32_EXECUTABLE ON)

add_test(NAME wine.setup
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-setup.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:wine_keepalive>)
set_tests_properties(wine.setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
add_test(NAME wine.cleanup COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-cleanup.sh ${CMAKE_BINARY_DIR})
set_tests_properties(wine.cleanup PROPERTIES FIXTURES_CLEANUP wine)

# One CTest test per GoogleTest program: a Wine start costs more than most of its cases.
function(add_wine_gtest target)
    add_test(NAME ${target} COMMAND ${target} ${ARGN})
    set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
endfunction()
