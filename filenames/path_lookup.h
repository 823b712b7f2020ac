// File names as the program knows them ("Курсор.bmp", "Отчет") found whatever their case on a
// file system that tells cases apart. Plain C++17 filesystem, no SDL.
#pragma once

#include <string>

namespace tavrik {

// Folds a UTF-8 name for comparison: the ASCII letters, the Cyrillic А–Я and Ё to lower case.
// Every other character, the other letters of Windows-1251 among them, is left as it is.
std::string FoldCase(const std::string& utf8);

// The path of the entry of `dir` whose name equals `name` ignoring case, or `dir` + `name` when
// there is none. An exact match wins over a match that differs only in case. `dir` ends in a
// separator, as the program's folder paths do.
std::string ResolveCaseInsensitive(const std::string& dir, const std::string& name);

}  // namespace tavrik
