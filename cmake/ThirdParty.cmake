# Header-only libraries come from Debian's packages. A cross build must not see the
# host's /usr/include as a whole, so each library gets an include folder of its own.
set(SHEETPACK_THIRDPARTY_INCLUDE ${CMAKE_BINARY_DIR}/thirdparty/include)
file(MAKE_DIRECTORY ${SHEETPACK_THIRDPARTY_INCLUDE})
foreach(dir nlohmann)
  if(NOT EXISTS ${SHEETPACK_THIRDPARTY_INCLUDE}/${dir})
    file(CREATE_LINK /usr/include/${dir} ${SHEETPACK_THIRDPARTY_INCLUDE}/${dir} SYMBOLIC)
  endif()
endforeach()

add_library(utfcpp INTERFACE)
target_include_directories(utfcpp SYSTEM INTERFACE /usr/include/utf8cpp)

add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${SHEETPACK_THIRDPARTY_INCLUDE})

# zlib: the launcher is linked statically, so a cross build takes MinGW's static archive.
if(WIN32)
  add_library(zlib STATIC IMPORTED)
  set_target_properties(zlib PROPERTIES
    IMPORTED_LOCATION /usr/${SHEETPACK_MINGW_TRIPLE}/lib/libz.a
    INTERFACE_INCLUDE_DIRECTORIES /usr/${SHEETPACK_MINGW_TRIPLE}/include)
else()
  find_package(ZLIB REQUIRED)
  add_library(zlib INTERFACE)
  target_link_libraries(zlib INTERFACE ZLIB::ZLIB)
endif()
