// The 2D scene text compiler of tessaline-l2d.
#pragma once

#include <string>
#include <vector>

// TEXT to a .l2d file: the exit status (0 written, 1 an input error); each error is appended to
// `messages` ("TEXT:LINE: message", "cannot read TEXT", "cannot write OUTPUT").
int writeL2d(const std::string& textPath, const std::string& outPath, std::vector<std::string>& messages);
