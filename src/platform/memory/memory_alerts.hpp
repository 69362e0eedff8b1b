// Alerts that tests read back: every alert is recorded and questions get a
// scripted answer.
#pragma once

#include "platform/alerts.hpp"

#include <deque>

namespace tilewise {

class MemoryAlerts : public Alerts {
public:
    struct Shown {
        std::string message;
        std::string informativeText;
        std::vector<std::string> buttons;
    };

    void showNotice(const std::string& message) override { shown.push_back(Shown{message, "", {"OK"}}); }

    int ask(const std::string& message, const std::string& informativeText,
            const std::vector<std::string>& buttons) override
    {
        shown.push_back(Shown{message, informativeText, buttons});
        if (answers.empty())
            return -1;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const Shown& s : shown)
            out.push_back(s.message);
        return out;
    }

    std::vector<Shown> shown;
    // Answers for ask(), in order; -1 when none is left.
    std::deque<int> answers;
};

} // namespace tilewise
