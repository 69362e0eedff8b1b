// Modal alerts: the way refusals and one-time notices reach the user.
#pragma once

#include <string>
#include <vector>

namespace tilewise {

class Alerts {
public:
    virtual ~Alerts() = default;

    // A modal notice whose message is the only text, with one default
    // button. Returns once the user has dismissed it.
    virtual void showNotice(const std::string& message) = 0;

    // A modal question. Returns the index of the chosen button, or -1 when
    // the alert was closed some other way.
    virtual int ask(const std::string& message, const std::string& informativeText,
                    const std::vector<std::string>& buttons) = 0;
};

} // namespace tilewise
