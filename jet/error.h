#pragma once

#include <stdexcept>
#include <string>

namespace jet {

// The one error type of the engine. Its message names the file and, where one is involved,
// the page, so that a bidder's support request carries enough to find the damage.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace jet
