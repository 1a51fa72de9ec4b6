#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The one error type of the tool: a job that cannot go on throws it. Its
// message is what the user sees, unchanged; where it is known, the place in
// the input it concerns goes with it, for tests and for --verbose.
class Error : public std::runtime_error {
public:
    // An object number and a byte offset of the input; -1 where not known.
    struct Place {
        int64_t object = -1;
        int64_t offset = -1;
        bool known() const { return object >= 0 || offset >= 0; }
    };

    explicit Error(const std::string& message) : std::runtime_error(message) {}
    Error(const std::string& message, Place place) : std::runtime_error(message), place_(place) {}

    std::string message() const { return what(); }
    const Place& place() const { return place_; }
    // The same error, placed where it was not yet.
    Error placed(Place place) const {
        return Error(what(), {place_.object >= 0 ? place_.object : place.object,
                              place_.offset >= 0 ? place_.offset : place.offset});
    }

private:
    Place place_;
};
