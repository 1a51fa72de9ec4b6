#pragma once

#include <string>

// A folder of this fuzzing process for the files a job reads and writes.
const std::string& TempFolder();

// Writes the bytes to a file of the temporary folder and returns its path.
std::string WriteTemp(const std::string& name, const uint8_t* data, size_t size);
