// Alerts as modal message boxes: the message is the only text unless an
// informative text is given, and the first button is the default.
#pragma once

#include "platform/alerts.hpp"

namespace tilewise {

class QtAlerts : public Alerts {
public:
    void showNotice(const std::string& message) override;
    int ask(const std::string& message, const std::string& informativeText,
            const std::vector<std::string>& buttons) override;
};

} // namespace tilewise
