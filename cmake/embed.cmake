# SPDX-License-Identifier: MIT
# Writes a C++ source that holds files as byte arrays, for a program that
# carries its media inside (the browser build):
#   cmake -DOUTPUT=media_web.cpp -DFILES="a.bmp;b.wav" -P cmake/embed.cmake
# Each file is found by its name (without folders) through tarvo::on_web::FindMedia.
set(body "")
set(table "")
set(n 0)
foreach(file IN LISTS FILES)
  get_filename_component(name "${file}" NAME)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const unsigned char k${n}[${size}] = {\n${bytes}};\n")
  string(APPEND table "    {\"${name}\", k${n}, ${size}},\n")
  math(EXPR n "${n} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Made by cmake/embed.cmake from the game's media; not to be edited.\n"
  "#include \"media_web.h\"\n\n#include <cstring>\n\nnamespace tarvo::on_web {\nnamespace {\n${body}"
  "const Media kAll[] = {\n${table}};\n} // namespace\n\n"
  "const Media *FindMedia(const char *name) {\n"
  "    for (const Media &m : kAll)\n        if (std::strcmp(m.name, name) == 0) return &m;\n    return nullptr;\n}\n\n"
  "} // namespace tarvo::on_web\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
