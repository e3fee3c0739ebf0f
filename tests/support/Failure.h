#pragma once

#include <string>

// What the message fake and the window driver do when things are not as the caller expected: a
// test program fails the running test (test_main installs that); a tool prints it and stops, or
// installs its own handler.
using FailureHandler = void (*)(const std::string& what);
void setFailureHandler(FailureHandler handler);
void failed(const std::string& what);
