# A 32-bit DLL built with the i686 MinGW compiler from inside the 64-bit build, so that one
# build yields an add-in kit with both bitnesses. Its sources are those of the 64-bit targets
# it mirrors, so no file list is written twice. Linked as the toolchain files link:
# statically, stripped, without a time stamp, and hardened as every Windows build is;
# code of the shared base that the DLL does not use is dropped by the linker.
#   sheetpack_add_x86_dll(OUTPUT TARGETS... DEF file [DEFINES...] [LIBS...] COMMENT text)
function(sheetpack_add_x86_dll output)
  cmake_parse_arguments(PARSE_ARGV 1 dll "" "DEF;COMMENT" "TARGETS;DEFINES;LIBS")
  set(sources)
  set(headers)
  foreach(target ${dll_TARGETS})
    get_target_property(target_sources ${target} SOURCES)
    get_target_property(target_dir ${target} SOURCE_DIR)
    foreach(src ${target_sources})
      if(src MATCHES "\\.cpp$")
        if(NOT IS_ABSOLUTE ${src})
          set(src ${target_dir}/${src})
        endif()
        list(APPEND sources ${src})
      endif()
    endforeach()
    file(GLOB_RECURSE target_headers CONFIGURE_DEPENDS ${target_dir}/*.h ${target_dir}/*.inc)
    list(APPEND headers ${target_headers})
  endforeach()
  get_target_property(utfcpp_include utfcpp INTERFACE_INCLUDE_DIRECTORIES)
  get_filename_component(folder ${output} DIRECTORY)
  # Linked in its folder under its bare name: the linker derives the DLL's image base from
  # the output name, which must not carry the folder the project was built in.
  get_filename_component(name ${output} NAME)
  file(MAKE_DIRECTORY ${folder})
  list(TRANSFORM dll_DEFINES PREPEND -D)
  add_custom_command(
    OUTPUT ${output}
    COMMAND i686-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -Werror -shared -s
            -fstack-protector-strong -D_FORTIFY_SOURCE=2 -ffunction-sections -fdata-sections
            -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp -Wl,--gc-sections
            -DUNICODE -D_UNICODE -DNOMINMAX ${dll_DEFINES} -I${PROJECT_SOURCE_DIR} -isystem ${utfcpp_include}
            ${sources} ${dll_DEF} /usr/i686-w64-mingw32/lib/libz.a ${dll_LIBS}
            -lole32 -loleaut32 -luuid -luser32 -ladvapi32 -lshell32 -o ${name}
    DEPENDS ${sources} ${dll_DEF} ${headers}
    WORKING_DIRECTORY ${folder}
    COMMENT ${dll_COMMENT}
    VERBATIM)
endfunction()
