#pragma once
// The add-in kit's text files (1043.txt, 1045.txt) as the runtime add-in reads the
// name tables made from them: UTF-16LE without a byte-order mark, lines ended by CR LF.
#include <string>
#include <string_view>

// Reads `bytes` as UTF-16LE or UTF-16BE after their byte-order mark, otherwise as UTF-8
// (with or without its mark), and writes the table. Throws std::runtime_error with a
// one-line reason when the text is malformed.
std::string KitTextToNameTable(std::string_view bytes);
