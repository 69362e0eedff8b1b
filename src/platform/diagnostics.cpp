#include "platform/diagnostics.hpp"

#include <iostream>
#include <set>

namespace tilewise::diag {

namespace {

struct State {
    std::string program = "tilewise";
    std::ostream* out = &std::cout;
    std::ostream* err = &std::cerr;
    std::set<std::string, std::less<>> reported;
};

State& state()
{
    static State s;
    return s;
}

} // namespace

void setProgramName(std::string name)
{
    state().program = std::move(name);
}

void line(std::string_view text)
{
    // Output goes to a log or a pipe: a line must not wait in a buffer.
    *state().out << text << std::endl;
}

void problem(std::string_view text)
{
    *state().err << state().program << ": " << text << std::endl;
}

bool problemOnce(std::string_view key, std::string_view text)
{
    if (!state().reported.emplace(key).second)
        return false;
    problem(text);
    return true;
}

Capture::Capture(std::ostream& out, std::ostream& err) : savedOut_(state().out), savedErr_(state().err)
{
    state().out = &out;
    state().err = &err;
    state().reported.clear();
}

Capture::~Capture()
{
    state().out = savedOut_;
    state().err = savedErr_;
    state().reported.clear();
}

} // namespace tilewise::diag
