#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"

namespace fixture {

// What one run of the program printed and the status it ended with.
struct RunResult {
    int status;
    std::string out;
};

// Runs the program's entry point in this process with the given arguments
// (the program name is added in front).
inline RunResult RunProgram(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv{"folivant"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    testing::internal::CaptureStdout();
    int status = RunFolivant(static_cast<int>(argv.size()), argv.data());
    std::fflush(stdout);
    return {status, testing::internal::GetCapturedStdout()};
}

// The banner every run but the wildcard refusal starts with.
inline const char* Banner() {
    return "\r\nFolivant v1.09 - PDF bookmark tool of the Folivant project\r\n"
           "Website: https://folivant.example.org\r\n"
           "Email: support@folivant.example.org\r\n\r\n";
}

}  // namespace fixture
