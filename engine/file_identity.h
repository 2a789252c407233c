#pragma once
// Whether two file names reach one and the same file. A run whose output is
// its own input would truncate the input while it is still being read.

#include <string>

// True when both names exist and reach the same file: the same path written
// differently ("./", ".."), a symbolic link to the other, or a hard link.
// False when either does not exist (a new output cannot be the input).
bool SameFile(const std::string& a, const std::string& b);
