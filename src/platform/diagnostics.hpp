// The one path for what the programs tell their user: the lines the program
// is documented to print go to standard output as written; every problem is
// one line on standard error, prefixed with the program's name.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace tilewise::diag {

// "tilewise" or "tilewisectl"; problems are printed as "NAME: TEXT".
void setProgramName(std::string name);

// A documented output line (for example "cancel"), on standard output.
void line(std::string_view text);

// A problem, one line on standard error.
void problem(std::string_view text);

// A problem that is reported once per process however often it recurs
// (a read-only folder at every write, a bad list at every press). `key`
// names the problem; the text of the first report is the one printed.
// Returns whether it was printed now.
bool problemOnce(std::string_view key, std::string_view text);

// Tests: send both streams elsewhere and forget what was reported once.
class Capture {
public:
    Capture(std::ostream& out, std::ostream& err);
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

private:
    std::ostream* savedOut_;
    std::ostream* savedErr_;
};

} // namespace tilewise::diag
