# SPDX-License-Identifier: GPL-3.0-or-later
# Help: finding and decoding help.txt, and the window that shows it.
add_library(sdvigul_help STATIC
    ${CMAKE_CURRENT_LIST_DIR}/helpfile.h
    ${CMAKE_CURRENT_LIST_DIR}/helpfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/helpviewer.h
    ${CMAKE_CURRENT_LIST_DIR}/helpviewer.cpp)
target_include_directories(sdvigul_help PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(sdvigul_help PUBLIC Qt6::Widgets sdvigul_resources)
