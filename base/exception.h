#pragma once

#include <string>

// The one exception type of the tool: a job that cannot go on throws it with a
// fixed message, which the entry point prints unchanged.
class CPdfException {
public:
    explicit CPdfException(std::string message) : message_(std::move(message)) {}
    virtual ~CPdfException() = default;

    virtual const char* GetMessage() const { return message_.c_str(); }
    const std::string& Message() const { return message_; }

private:
    std::string message_;
};
