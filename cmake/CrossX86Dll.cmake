# A 32-bit DLL built with the i686 MinGW compiler from inside the 64-bit build, so that one
# build yields an add-in kit with both bitnesses. Linked as the toolchain files link:
# statically, stripped, without a time stamp, and hardened as every Windows build is.
#   sheetpack_add_x86_dll(OUTPUT SOURCES... DEF file [DEFINES...] [LIBS...] [DEPENDS...] COMMENT text)
function(sheetpack_add_x86_dll output)
  cmake_parse_arguments(PARSE_ARGV 1 dll "" "DEF;COMMENT" "SOURCES;DEFINES;LIBS;DEPENDS")
  get_target_property(utfcpp_include utfcpp INTERFACE_INCLUDE_DIRECTORIES)
  get_filename_component(folder ${output} DIRECTORY)
  list(TRANSFORM dll_DEFINES PREPEND -D)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND i686-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -Werror -shared -s
            -fstack-protector-strong -D_FORTIFY_SOURCE=2
            -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp
            -DUNICODE -D_UNICODE -DNOMINMAX ${dll_DEFINES} -I${PROJECT_SOURCE_DIR} -isystem ${utfcpp_include}
            ${dll_SOURCES} ${dll_DEF} ${dll_LIBS} -o ${output}
    DEPENDS ${dll_SOURCES} ${dll_DEF} ${dll_DEPENDS}
    COMMENT ${dll_COMMENT}
    VERBATIM)
endfunction()
