#pragma once
// The notice's information sign: a 32 x 32 RGBA PNG carried in the program.
#include <string_view>

std::string_view InfoSignPng();
